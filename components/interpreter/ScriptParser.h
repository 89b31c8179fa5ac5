#pragma once

// The compiler's parser: one pass over the tokens that binds every name as it is read (script names, the
// program's registry, the global registry, else a run-time question to OnGetValue) and builds the tree.
// Internal to the interpreter; CompileScript (ScriptCompiler.h) is its entry point.

#include "ScriptExceptions.h"
#include "ScriptLexer.h"
#include "ScriptStatements.h"

#include <initializer_list>
#include <optional>
#include <unordered_map>

namespace kalmora::script {

class TScriptParser {
public:
    TScriptParser(std::string_view source, const TJvInterpreterAdapter* own,
                  const TJvInterpreterAdapter* global, const TScriptLimits& limits)
        : FTokens(Tokenize(source)), FOwn(own), FGlobal(global),
          FMaxNesting(std::max(limits.MaxNestingDepth, 1)), FMaxExprDepth(4 * FMaxNesting),
          FMaxArrayElements(limits.MaxArrayElements), FStackFloor(ScriptStackFloor()),
          FConstCtx(nullptr, limits), FScript(std::make_unique<TCompiledScript>()), FLevels(1) {}

    std::unique_ptr<TCompiledScript> Compile();

private:
    enum class TSymKind { Var, Const, Routine };
    struct TSymbol {
        TSymKind Kind = TSymKind::Var;
        TVarPlace Place;
        TTypeKind Type = TTypeKind::Variant;
        const TTypeInfo* Info = nullptr;
        Variant Value;
        TRoutine* Routine = nullptr;
    };
    using TScope = std::unordered_map<std::string, TSymbol>;
    // The names of the program (level 0) or of one routine being compiled (its level).
    struct TLevel {
        TScope Names;
        TRoutine* Routine = nullptr;
    };

    // Bounds the parser's recursion (and so the depth of the tree every later pass recurses over).
    class TNestGuard {
    public:
        explicit TNestGuard(TScriptParser& owner) : FOwner(owner) {
            char probe = 0;
            if (++FOwner.FNesting > FOwner.FMaxNesting ||
                reinterpret_cast<std::uintptr_t>(&probe) < FOwner.FStackFloor)
                FOwner.Error("Nesting deeper than " + std::to_string(FOwner.FMaxNesting) + " levels",
                             FOwner.Tok());
        }
        ~TNestGuard() { --FOwner.FNesting; }
        TNestGuard(const TNestGuard&) = delete;
        TNestGuard& operator=(const TNestGuard&) = delete;

    private:
        TScriptParser& FOwner;
    };

    // ---- tokens

    const TToken& Tok() const { return FTokens[FPos]; }
    const TToken& Peek(std::size_t ahead) const;
    const TToken& Next();
    bool Accept(TTok kind);
    const TToken& Expect(TTok kind);
    const TToken& ExpectIdent() { return Expect(TTok::Identifier); }
    std::string Found() const;
    [[noreturn]] void Error(const std::string& message, const TToken& at) const;
    [[noreturn]] void Error(const std::string& message, const TNode& at) const;

    // ---- declarations

    void ParseUses();

    void ParseDeclarations();

    TScope& Scope() { return FLevels.back().Names; }
    int Level() const { return static_cast<int>(FLevels.size()) - 1; }

    void Declare(const TToken& name, TSymbol symbol);

    // A new variable slot in the current scope.
    TSymbol NewVariable(TTypeKind type, const TTypeInfo* info = nullptr);

    void ParseConst();

    void ParseVar();

    // ---- types (ScriptParseTypes.cpp)

    const TTypeInfo* ParseType();
    const TTypeInfo* ParseArrayType();
    const TTypeInfo* NewType(TTypeInfo info);
    // An initial value written for a variable or constant of the type: a constant, or for a fixed array a
    // parenthesised list of one value per element.
    Variant ParseInitialValue(const TTypeInfo& type);
    // Low(T) or High(T) of an ordinal type name, when the tokens are "( T )".
    TExprPtr TryTypeBound(const TToken& name, bool high);

    void ParseRoutine();

    static bool SameParams(const std::vector<TParam>& a, const std::vector<TParam>& b);

    // The symbol a name stands for where it is read; a variable of an enclosing routine comes back with its
    // place in that routine's frame.
    std::optional<TSymbol> Lookup(const std::string& lower) const;

    // ---- statements

    TStmtPtr ParseBlockRest(const TToken& at, TTok terminator);

    std::vector<TStmtPtr> ParseStatementList(std::initializer_list<TTok> terminators);

    TStmtPtr ParseStatement();

    TStmtPtr ParseExit();

    TStmtPtr ParseFor();

    TStmtPtr ParseCase();

    TStmtPtr ParseTry();

    TStmtPtr ParseRaise();

    TStmtPtr ParseSimpleStatement();

    TStmtPtr MakeAssignment(const TToken& at, TExprPtr target, TExprPtr value, bool pure);

    // s := s + a + b: the chain of '+' whose leftmost operand is the target itself.
    TStmtPtr TryAppend(const TToken& at, const TVarExprBase& target, TExprPtr& value);

    // ---- expressions

    TExprPtr Checked(TExprPtr expr);

    // Folds an operator over constants into a literal; faults (1 div 0) are left for the run to report.
    TExprPtr Fold(TExprPtr expr);

    Variant ParseConstValue();

    TExprPtr ParseExpr();

    TExprPtr ParseSimple();

    TExprPtr ParseTerm();

    TExprPtr ParseFactor();

    TExprPtr ParseSet();

    std::vector<TExprPtr> ParseArgs();

    TExprPtr ParseDesignator();

    [[noreturn]] void WrongCount(const TToken& name, std::size_t expected, std::size_t got) const;

    TExprPtr ResolveName(const TToken& name, bool parens, std::vector<TExprPtr> args);

    // A variable, an element of a variable or a character of a text variable: what var parameters take.
    static bool IsVarArgument(const TExpr& arg);

    std::vector<TToken> FTokens;
    std::size_t FPos = 0;
    const TJvInterpreterAdapter* FOwn;
    const TJvInterpreterAdapter* FGlobal;
    int FMaxNesting;
    int FMaxExprDepth;
    int FMaxArrayElements;
    std::uintptr_t FStackFloor;
    TRunContext FConstCtx;
    std::unique_ptr<TCompiledScript> FScript;
    std::vector<TLevel> FLevels;
    TRoutine* FRoutine = nullptr; // the innermost routine being compiled; none in the main block
    int FNesting = 0;
    int FLoopDepth = 0;
    int FImpure = 0;
};

} // namespace kalmora::script
