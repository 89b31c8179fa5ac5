#pragma once

// The compiled form of a script: a tree of expression and statement nodes in which every name is already
// bound to a variable slot, a script routine or a registry entry, and the state one run works on.

#include "InterpreterProgram.h"
#include "Variant.h"

#include <cstdint>
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

// The declared type of a variable, parameter or function result: assignments convert to it.
enum class TTypeKind : std::uint8_t { Variant, Integer, Double, String, Boolean, Currency, Date };

// Converts value in place to kind (EConvertError when it cannot be converted).
void ConvertTo(TTypeKind kind, Variant& value);
Variant DefaultOf(TTypeKind kind);

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
    Variant* Alloc(std::size_t count);
    // Frees the allocation made after mark (frames nest, one allocation per mark); its slots are emptied.
    void Release(TMark mark) noexcept;

private:
    struct TChunk {
        std::unique_ptr<Variant[]> Slots;
        std::size_t Size;
    };
    std::vector<TChunk> FChunks;
    std::size_t FChunk = 0;
    std::size_t FUsed = 0;
};

class TRunContext {
public:
    // program is none while the compiler folds constants.
    TRunContext(TJvInterpreterProgram* program, const TScriptLimits& limits);

    Variant* Locals = nullptr;
    Variant** Refs = nullptr;
    Variant* Globals = nullptr;
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
    // The declared type of a variable expression.
    virtual TTypeKind VarType() const { return TTypeKind::Variant; }
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
};

// A script procedure or function. Frame layout: parameters by value and locals in Vars (the result, when
// there is one, in slot ResultSlot); var parameters as pointers in Refs, indexed by parameter position.
struct TRoutine {
    std::string Name;
    bool IsFunction = false;
    bool Defined = false;
    int Line = 0;
    int Column = 0;
    std::vector<TParam> Params;
    std::vector<int> ParamSlots; // per parameter: its Vars slot (by value) or Refs index (var)
    TTypeKind ResultType = TTypeKind::Variant;
    int ResultSlot = -1;
    std::vector<TTypeKind> VarTypes;            // every Vars slot's declared type
    std::vector<std::pair<int, Variant>> Inits; // slots that start with a value (fixed-size arrays)
    int RefCount = 0;
    TStmtPtr Body;
};

struct TCompiledScript {
    std::vector<std::unique_ptr<TRoutine>> Routines;
    std::vector<TTypeKind> GlobalTypes;
    std::vector<std::pair<int, Variant>> GlobalInits; // initialised globals: slot and value
    TStmtPtr Main;
};

} // namespace kalmora::script
