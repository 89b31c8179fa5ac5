#pragma once

// The compiled form of a script: a tree of expression and statement nodes in which every name is already
// bound to a variable slot, a script routine or a registry entry, and the state one run works on.

#include "InterpreterProgram.h"
#include "Variant.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kalmora::script {

// A limit of TScriptLimits was reached. Script handlers never catch it, so a script cannot retry forever.
class EScriptLimit : public EScriptError {
public:
    using EScriptError::EScriptError;
    std::string_view ClassName() const noexcept override { return "EScriptError"; }
};

// The declared type of a variable, parameter or function result: assignments convert to it. OpenArray is
// `array of T`: it holds any value, and an array given to it counts from 0.
enum class TTypeKind : std::uint8_t { Variant, Integer, Double, String, Boolean, Currency, Date, OpenArray };

// Converts value in place to kind (EConvertError when it cannot be converted).
void ConvertTo(TTypeKind kind, Variant& value);
Variant DefaultOf(TTypeKind kind);

// ConvertTo with the common cases, a value that already has the kind, decided inline.
inline void Coerce(TTypeKind kind, Variant& value) {
    switch (kind) {
    case TTypeKind::Variant:
        return;
    case TTypeKind::Integer:
        if (value.Type() == TVarType::Integer)
            return;
        break;
    case TTypeKind::String:
        if (value.IsString())
            return;
        break;
    default:
        break;
    }
    ConvertTo(kind, value);
}

// A declared type as far as the compiler follows it: a scalar kind, or a fixed array with its bounds and
// element type (array[1..3] of array['a'..'z'] of Integer is one chain).
struct TTypeInfo {
    TTypeKind Kind = TTypeKind::Variant;
    bool IsStatic = false;  // array[Low..High] of Element
    bool CharIndex = false; // the bounds are characters: an index of one character counts as its code
    int Low = 0;
    int High = -1;
    const TTypeInfo* Element = nullptr; // for arrays; none: Variant elements
    Variant Init;                       // what a variable of the type starts with
};

struct TRoutine;

// Variant slots for the frames of script routine calls, in chunks so that a slot never moves while a frame
// (or a var parameter pointing into it) lives.
class TValueStack {
public:
    struct TMark {
        std::size_t Chunk;
        std::size_t Used;
    };
    TMark Mark() const noexcept { return {FChunk, FUsed}; }
    Variant* Alloc(std::size_t count) {
        if (FSize - FUsed >= count) {
            Variant* slots = FBase + FUsed;
            FUsed += count;
            return slots;
        }
        return AllocInNewChunk(count);
    }
    // Frees the allocation made after mark (frames nest, one allocation per mark); its slots are emptied.
    void Release(TMark mark) noexcept {
        if (mark.Chunk != FChunk)
            return ReleaseChunk(mark);
        for (std::size_t i = mark.Used; i < FUsed; ++i)
            FBase[i].Clear();
        FUsed = mark.Used;
    }

private:
    Variant* AllocInNewChunk(std::size_t count);
    void ReleaseChunk(TMark mark) noexcept;
    struct TChunk {
        std::unique_ptr<Variant[]> Slots;
        std::size_t Size;
    };
    std::vector<TChunk> FChunks;
    std::size_t FChunk = 0;
    std::size_t FUsed = 0;
    Variant* FBase = nullptr; // the current chunk's slots and size
    std::size_t FSize = 0;
};

// The slots of one active routine: values (parameters by value, locals, the result) and var parameters.
struct TFrame {
    Variant* Vars = nullptr;
    Variant** Refs = nullptr;
};

class TRunContext {
public:
    // program is none while the compiler folds constants.
    TRunContext(TJvInterpreterProgram* program, const TScriptLimits& limits);

    // The running routine's frame, and per nesting level the frame of the routine active at that level: a
    // nested routine reaches its parents' variables through Display, whose levels the compiler fixed.
    Variant* Locals = nullptr;
    Variant** Refs = nullptr;
    Variant* Globals = nullptr;
    TFrame* Display = nullptr;
    std::uint64_t Steps = 0;
    std::uint64_t MaxSteps;
    int CallDepth = 0;
    int MaxCallDepth;
    std::size_t MaxStringBytes;
    std::int64_t MaxArrayElements;
    std::uintptr_t StackFloor; // the deepest stack address a script call may start from
    TJvInterpreterProgram* Program;
    TValueStack Stack;

    void Step(int line, int column) {
        if (++Steps > MaxSteps)
            StepLimit(line, column);
    }
    // Work that grows with a value's size (expanding a range, searching an array) counts a step per 64 items.
    void StepItems(std::size_t items, int line, int column) {
        Steps += items >> 6;
        if (Steps > MaxSteps)
            StepLimit(line, column);
    }
    [[noreturn]] void StepLimit(int line, int column) const;
    void CheckStringSize(std::size_t size, int line, int column) const;
};

// The lowest address this thread's stack may grow to before a script call refuses to nest deeper.
std::uintptr_t ScriptStackFloor();

enum class TFlow : std::uint8_t { Normal, Break, Continue, Exit };

class TNode {
public:
    TNode(int line, int column) : Line(line), Column(column) {}
    virtual ~TNode() = default;
    TNode(const TNode&) = delete;
    TNode& operator=(const TNode&) = delete;
    [[noreturn]] void Fail(const std::string& message) const;
    int Line;
    int Column;
};

class TExpr : public TNode {
public:
    using TNode::TNode;
    virtual Variant Eval(TRunContext& ctx) const = 0;
    virtual bool EvalBool(TRunContext& ctx) const { return Eval(ctx).AsBoolean(); }
    // The variable behind a variable expression (for assignment and var arguments); none for values.
    virtual Variant* Address(TRunContext&) const { return nullptr; }
    virtual bool IsVariable() const { return false; }
    virtual bool IsConstant() const { return false; }
    // The type the compiler knows the value has: a variable's declared type, Boolean for a comparison, a
    // literal's kind; Variant where nothing says (host results, variants).
    virtual TTypeKind StaticKind() const { return TTypeKind::Variant; }
    // The declared type behind an expression, as far as the compiler knows it; none where no declaration
    // says (host results, operators on variants).
    virtual const TTypeInfo* Declared() const { return nullptr; }
    int Depth = 1; // nesting depth of the subtree, bounded by the compiler
};

using TExprPtr = std::unique_ptr<TExpr>;

class TStmt : public TNode {
public:
    using TNode::TNode;
    virtual TFlow Exec(TRunContext& ctx) const = 0;
};

using TStmtPtr = std::unique_ptr<TStmt>;

struct TParam {
    std::string Name;
    TTypeKind Type = TTypeKind::Variant;
    bool ByRef = false;
    const TTypeInfo* Info = nullptr;
};

// A script procedure or function. Frame layout: parameters by value first, then the result (when there is
// one, in slot ResultSlot) and the locals in Vars; var parameters as pointers in Refs.
struct TRoutine {
    std::string Name;
    bool IsFunction = false;
    bool Defined = false;
    int Line = 0;
    int Column = 0;
    int Level = 1;         // 1 for a routine of the program, one more for each routine it is nested in
    bool Encloses = false; // routines are nested in it
    std::vector<TParam> Params;
    std::vector<int> ParamSlots; // per parameter: its Vars slot (by value) or Refs index (var)
    TTypeKind ResultType = TTypeKind::Variant;
    const TTypeInfo* ResultInfo = nullptr;
    int ResultSlot = -1;
    int FirstLocal = 0;                         // the slots from here on start as Initial says
    std::size_t FrameSize = 0;                  // Vars slots
    std::vector<TTypeKind> VarTypes;            // every Vars slot's declared type
    std::vector<std::pair<int, Variant>> Inits; // slots that start with a value (fixed-size arrays)
    std::vector<Variant> Initial;               // the start values of slots FirstLocal onward
    int RefCount = 0;
    TStmtPtr Body;
};

class TExceptionTree;

struct TCompiledScript {
    std::vector<std::unique_ptr<TRoutine>> Routines;
    std::vector<TTypeKind> GlobalTypes;
    std::vector<std::pair<int, Variant>> GlobalInits; // initialised globals: slot and value
    std::deque<TTypeInfo> Types;                      // the declared types nodes point to
    std::unique_ptr<TExceptionTree> Exceptions;
    int MaxLevel = 0;
    TStmtPtr Main;
    ~TCompiledScript();
};

} // namespace kalmora::script
