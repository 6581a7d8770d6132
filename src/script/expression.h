#pragma once

// The runtime objects the build pass makes: expression trees, designators and statements.

#include "script/interpreter.h"

#include <QString>
#include <memory>
#include <vector>

namespace tw {

enum TfsOperatorType {
    opNone, opGreat, opLess, opLessEq, opGreatEq, opNonEq, opEq, opPlus, opMinus, opOr, opXor, opMul,
    opDivFloat, opDivInt, opMod, opAnd, opShl, opShr, opLeftBracket, opRightBracket, opNot, opUnMinus,
    opIn, opIs, opStrCat
};

class TfsExpression;
class TfsDesignator;

class TfsExpressionNode {
public:
    virtual ~TfsExpressionNode();
    virtual int Priority() const = 0;
    virtual Variant Eval() = 0;
    virtual TfsOperatorType Op() const { return opNone; }
    // The value when it is a 32-bit integer that needs no variant rules (no overflow, no
    // calls, no conversions); false otherwise. Never has side effects.
    virtual bool EvalInt(int &) { return false; }

    TfsExpressionNode *Left = nullptr;
    TfsExpressionNode *Right = nullptr;
    TfsExpressionNode *Parent = nullptr;
    TfsVarType Typ = fvtVariant;
    QString TypeName;
    QString Pos;
};

class TfsOperandNode : public TfsExpressionNode {
public:
    explicit TfsOperandNode(const Variant &value);
    int Priority() const override { return 0; }
    Variant Eval() override { return Value; }
    bool EvalInt(int &out) override
    {
        if (Value.kind() != Variant::Kind::Int32)
            return false;
        out = Value.int32Value();
        return true;
    }
    Variant Value;
};

class TfsDesignatorNode : public TfsExpressionNode {
public:
    explicit TfsDesignatorNode(TfsDesignator *designator);
    ~TfsDesignatorNode() override;
    int Priority() const override { return 0; }
    Variant Eval() override;
    bool EvalInt(int &out) override
    {
        if (!FastVar || FastVar->OnGetVarValue || FastVar->RawValue().kind() != Variant::Kind::Int32)
            return false;
        out = FastVar->RawValue().int32Value();
        return true;
    }
    TfsDesignator *Designator;
    TfsCustomVariable *FastVar = nullptr; // a single plain variable is read directly
};

// A set constructor; a null entry between two expressions marks a range.
class TfsSetExpression {
public:
    ~TfsSetExpression();
    bool Contains(const Variant &value);
    // The elements as a variant array (a set passed as an argument: Format('%d', [x])).
    Variant ToArray();
    std::vector<TfsExpression *> Items;
};

class TfsSetNode : public TfsExpressionNode {
public:
    explicit TfsSetNode(TfsSetExpression *set) : Set(set) {}
    ~TfsSetNode() override { delete Set; }
    int Priority() const override { return 0; }
    Variant Eval() override { return Set->ToArray(); }
    TfsSetExpression *Set;
};

// Creates the operator node for a type (nullptr for opNone).
TfsExpressionNode *fsMakeOperatorNode(TfsOperatorType op);
int fsOperatorPriority(TfsOperatorType op);
// Marks an and/or node of two Boolean operands to skip its right side when it can.
void fsSetShortCircuit(TfsExpressionNode *node);

class TfsExpression {
public:
    ~TfsExpression();
    Variant Value() { return Root ? Root->Eval() : Variant::null(); }
    // A single designator operand, or nullptr.
    TfsDesignator *SingleDesignator() const;
    bool IsWritable() const;

    TfsExpressionNode *Root = nullptr;
    TfsVarType Typ = fvtVariant;
    QString TypeName;
    QString Source;
};

// A constant expression (defaults of optional parameters).
TfsExpression *fsConstExpression(const Variant &value);

enum class TfsStepKind { Variable, Proc, Helper, Cast, Constant, Late, LateIndex };

struct TfsDesignatorItem {
    TfsCustomVariable *Ref = nullptr;
    TfsStepKind Kind = TfsStepKind::Variable;
    std::vector<std::unique_ptr<TfsExpression>> Args;
    QString Name;     // late steps: the member name
    Variant Constant; // constant steps
    bool HasVarParams = false;
};

class TfsDesignator {
public:
    explicit TfsDesignator(TfsScript *prog) : Prog(prog) {}
    virtual ~TfsDesignator() = default;
    virtual Variant GetValue();
    virtual void SetValue(const Variant &value);

    std::vector<std::unique_ptr<TfsDesignatorItem>> Items;
    TfsScript *Prog;
    TfsVarType Typ = fvtVariant;
    QString TypeName;
    bool IsReadOnly = false;
    bool NeedResult = true;

protected:
    Variant evalStep(TfsDesignatorItem *item, TfsCustomVariable *prevRef, const Variant &prev);
    void setStep(TfsDesignatorItem *item, TfsCustomVariable *prevRef, const Variant &prev, const Variant &value);
    Variant callProc(TfsDesignatorItem *item);
    void prepareHelper(TfsDesignatorItem *item, TfsCustomHelper *helper, TfsCustomVariable *prevRef, const Variant &prev);
    void writeBack(TfsDesignatorItem *item, TfsCustomVariable *callee);
    TfsCustomHelper *lateMember(TfsDesignatorItem *item, const Variant &prev, bool index);
};

// A single plain variable.
class TfsVariableDesignator : public TfsDesignator {
public:
    using TfsDesignator::TfsDesignator;
    Variant GetValue() override { return Var->GetValue(); }
    void SetValue(const Variant &value) override { Var->SetValue(value); }
    TfsCustomVariable *Var = nullptr;
};

// A single call of a script procedure or function.
class TfsCallDesignator : public TfsDesignator {
public:
    using TfsDesignator::TfsDesignator;
    Variant GetValue() override { return callProc(Items[0].get()); }
};

// A string variable with one index.
class TfsStringDesignator : public TfsDesignator {
public:
    using TfsDesignator::TfsDesignator;
    Variant GetValue() override;
    void SetValue(const Variant &value) override;
    TfsCustomVariable *Var = nullptr;
    TfsExpression *Index = nullptr;
};

// An array variable with indexes.
class TfsArrayDesignator : public TfsDesignator {
public:
    using TfsDesignator::TfsDesignator;
    Variant GetValue() override;
    void SetValue(const Variant &value) override;
    TfsCustomVariable *Var = nullptr;
};

// Statements: a statement is also a statement list (its items).
class TfsStatement {
public:
    TfsStatement(TfsScript *program, const QString &unitName, const QString &sourcePos);
    virtual ~TfsStatement();
    virtual void Execute();
    virtual void Clear();

    void Add(TfsStatement *st) { m_items.push_back(st); }
    int Count() const { return int(m_items.size()); }
    TfsStatement *Items(int i) const { return m_items[size_t(i)]; }
    // Runs the items in order, stopping on terminate, break, continue or exit.
    void RunList();

    TfsScript *Program;
    QString UnitName;
    QString SourcePos;

protected:
    // Reports the position; false when the script is terminated.
    bool runLine();
    std::vector<TfsStatement *> m_items;
};

class TfsAssignmentStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    ~TfsAssignmentStmt() override;
    void Execute() override;
    TfsDesignator *Designator = nullptr;
    TfsExpression *Expression = nullptr;
    TfsExpressionNode *Operand = nullptr;   // the expression when it is a single operand
    TfsCustomVariable *Var = nullptr;       // the target when it is a plain variable

protected:
    Variant sourceValue() const { return Operand ? Operand->Eval() : Expression->Value(); }
    // target := op(target, value), for the compound forms.
    void combineWith(Variant (*op)(const Variant &, const Variant &), const Variant &value);
};

class TfsAssignPlusStmt : public TfsAssignmentStmt {
public:
    using TfsAssignmentStmt::TfsAssignmentStmt;
    void Execute() override;
};
class TfsAssignMinusStmt : public TfsAssignmentStmt {
public:
    using TfsAssignmentStmt::TfsAssignmentStmt;
    void Execute() override;
};
class TfsAssignMulStmt : public TfsAssignmentStmt {
public:
    using TfsAssignmentStmt::TfsAssignmentStmt;
    void Execute() override;
};
class TfsAssignDivStmt : public TfsAssignmentStmt {
public:
    using TfsAssignmentStmt::TfsAssignmentStmt;
    void Execute() override;
};

class TfsCallStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    ~TfsCallStmt() override;
    void Execute() override;
    TfsDesignator *Designator = nullptr;
    QString Modificator; // "+", "-" or empty
};

class TfsIfStmt : public TfsStatement {
public:
    TfsIfStmt(TfsScript *program, const QString &unitName, const QString &sourcePos);
    ~TfsIfStmt() override;
    void Execute() override;
    TfsExpression *Condition = nullptr;
    std::unique_ptr<TfsStatement> ElseStmt;
};

class TfsCaseSelector : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    ~TfsCaseSelector() override;
    TfsSetExpression *SetExpression = nullptr;
};

class TfsCaseStmt : public TfsStatement {
public:
    TfsCaseStmt(TfsScript *program, const QString &unitName, const QString &sourcePos);
    ~TfsCaseStmt() override;
    void Execute() override;
    TfsExpression *Condition = nullptr;
    std::unique_ptr<TfsStatement> ElseStmt;
};

class TfsRepeatStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    ~TfsRepeatStmt() override;
    void Execute() override;
    TfsExpression *Condition = nullptr;
    bool InverseCondition = false;
};

class TfsWhileStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    ~TfsWhileStmt() override;
    void Execute() override;
    TfsExpression *Condition = nullptr;
};

class TfsForStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    ~TfsForStmt() override;
    void Execute() override;
    TfsCustomVariable *Variable = nullptr;
    TfsExpression *BeginValue = nullptr;
    TfsExpression *EndValue = nullptr;
    bool Down = false;
};

class TfsVbForStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    ~TfsVbForStmt() override;
    void Execute() override;
    TfsCustomVariable *Variable = nullptr;
    TfsExpression *BeginValue = nullptr;
    TfsExpression *EndValue = nullptr;
    TfsExpression *Step = nullptr;
};

class TfsCppForStmt : public TfsStatement {
public:
    TfsCppForStmt(TfsScript *program, const QString &unitName, const QString &sourcePos);
    ~TfsCppForStmt() override;
    void Execute() override;
    std::unique_ptr<TfsStatement> FirstStmt;
    TfsExpression *Expression = nullptr;
    std::unique_ptr<TfsStatement> SecondStmt;
};

class TfsTryStmt : public TfsStatement {
public:
    TfsTryStmt(TfsScript *program, const QString &unitName, const QString &sourcePos);
    void Execute() override;
    bool IsExcept = false;
    std::unique_ptr<TfsStatement> ExceptStmt;
    TfsCustomVariable *ClassNameVar = nullptr;
    TfsCustomVariable *MessageVar = nullptr;
};

class TfsBreakStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override { Program->FBreakCalled = true; }
};

class TfsContinueStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override { Program->FContinueCalled = true; }
};

class TfsExitStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override;
};

class TfsWithStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    ~TfsWithStmt() override;
    void Execute() override;
    TfsDesignator *Designator = nullptr;
    TfsCustomVariable *Variable = nullptr;
};

// Calls Free on an object (C-like delete).
class TfsDeleteStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    ~TfsDeleteStmt() override;
    void Execute() override;
    TfsDesignator *Designator = nullptr;
};

} // namespace tw
