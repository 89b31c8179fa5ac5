#pragma once

// Statement nodes. Each counts one step when it starts and each loop iteration counts one, so MaxSteps
// bounds every run. break, continue and exit travel as the TFlow result, not as C++ exceptions.

#include "ScriptExpressions.h"

namespace kalmora::script {

class TBlockStmt : public TStmt {
public:
    TBlockStmt(int line, int column, std::vector<TStmtPtr> body)
        : TStmt(line, column), Body(std::move(body)) {}
    TFlow Exec(TRunContext& ctx) const override;
    std::vector<TStmtPtr> Body;
};

class TExprStmt : public TStmt {
public:
    TExprStmt(int line, int column, TExprPtr expr) : TStmt(line, column), Expr(std::move(expr)) {}
    TFlow Exec(TRunContext& ctx) const override;
    TExprPtr Expr;
};

// target := value for a variable; an element target (a[i] := v) goes through TElementAssignStmt.
TStmtPtr MakeAssignStmt(int line, int column, const TVarExprBase& target, TExprPtr value);

// s := s + t1 + t2 ...: appends to the text in place when s holds a text, else adds as written.
TStmtPtr MakeAppendStmt(int line, int column, const TVarExprBase& target, std::vector<TExprPtr> terms);

// target := value for a variable declared as a fixed array.
class TFixedArrayAssignStmt : public TStmt {
public:
    TFixedArrayAssignStmt(int line, int column, TVarPlace target, TExprPtr value)
        : TStmt(line, column), Target(target), Value(std::move(value)) {}
    TFlow Exec(TRunContext& ctx) const override;
    TVarPlace Target;
    TExprPtr Value;
};

class TElementAssignStmt : public TStmt {
public:
    TElementAssignStmt(int line, int column, std::unique_ptr<TIndexExpr> target, TExprPtr value)
        : TStmt(line, column), Target(std::move(target)), Value(std::move(value)) {}
    TFlow Exec(TRunContext& ctx) const override;
    std::unique_ptr<TIndexExpr> Target;
    TExprPtr Value;
};

class TIfStmt : public TStmt {
public:
    TIfStmt(int line, int column, TExprPtr cond, TStmtPtr then, TStmtPtr otherwise)
        : TStmt(line, column), Cond(std::move(cond)), Then(std::move(then)), Else(std::move(otherwise)) {}
    TFlow Exec(TRunContext& ctx) const override;
    TExprPtr Cond;
    TStmtPtr Then; // either may be none (an empty statement)
    TStmtPtr Else;
};

class TWhileStmt : public TStmt {
public:
    TWhileStmt(int line, int column, TExprPtr cond, TStmtPtr body)
        : TStmt(line, column), Cond(std::move(cond)), Body(std::move(body)) {}
    TFlow Exec(TRunContext& ctx) const override;
    TExprPtr Cond;
    TStmtPtr Body;
};

class TRepeatStmt : public TStmt {
public:
    TRepeatStmt(int line, int column, TStmtPtr body, TExprPtr cond)
        : TStmt(line, column), Body(std::move(body)), Cond(std::move(cond)) {}
    TFlow Exec(TRunContext& ctx) const override;
    TStmtPtr Body;
    TExprPtr Cond;
};

TStmtPtr MakeForStmt(int line, int column, const TVarExprBase& counter, TExprPtr from, TExprPtr to, bool down,
                     TStmtPtr body);

class TCaseStmt : public TStmt {
public:
    struct TLabel {
        Variant Low;
        Variant High;
        bool IsRange = false;
    };
    struct TBranch {
        std::vector<TLabel> Labels;
        TStmtPtr Body;
    };
    TCaseStmt(int line, int column, TExprPtr selector) : TStmt(line, column), Selector(std::move(selector)) {}
    TFlow Exec(TRunContext& ctx) const override;
    TExprPtr Selector;
    std::vector<TBranch> Branches;
    TStmtPtr Else;
    bool HasElse = false;
};

class TExceptionTree;

class TTryExceptStmt : public TStmt {
public:
    struct THandler {
        std::string ClassName; // lower case; matches the class and its descendants
        TAccess Access = TAccess::Global;
        int Slot = -1; // the variable of "on E: ..." or -1
        TStmtPtr Body;
    };
    TTryExceptStmt(int line, int column, TStmtPtr body) : TStmt(line, column), Body(std::move(body)) {}
    TFlow Exec(TRunContext& ctx) const override;
    TStmtPtr Body;
    std::vector<THandler> Handlers; // "on" handlers; none: HandlerBody takes every exception
    TStmtPtr HandlerBody;           // the plain handler, or the "else" part after "on" handlers
    bool HasElse = false;
    const TExceptionTree* Classes = nullptr;

private:
    TFlow Handle(TRunContext& ctx, const std::exception& error) const;
};

class TTryFinallyStmt : public TStmt {
public:
    TTryFinallyStmt(int line, int column, TStmtPtr body, TStmtPtr final)
        : TStmt(line, column), Body(std::move(body)), Finally(std::move(final)) {}
    TFlow Exec(TRunContext& ctx) const override;
    TStmtPtr Body;
    TStmtPtr Finally;
};

// raise ClassName.Create(message), raise E (an exception object), or the bare raise of a handler.
class TRaiseStmt : public TStmt {
public:
    TRaiseStmt(int line, int column) : TStmt(line, column) {}
    TFlow Exec(TRunContext& ctx) const override;
    std::string ClassName; // with Message: the class to raise
    TExprPtr Message;
    TExprPtr Object; // raise E
    const TExceptionTree* Classes = nullptr;
};

class TFlowStmt : public TStmt {
public:
    TFlowStmt(int line, int column, TFlow flow) : TStmt(line, column), Flow(flow) {}
    TFlow Exec(TRunContext& ctx) const override;
    TFlow Flow;
    TExprPtr Result; // Exit(value)
    int ResultSlot = -1;
    TTypeKind ResultType = TTypeKind::Variant;
};

} // namespace kalmora::script
