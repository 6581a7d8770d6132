#include "script/expression.h"

#include "script/messages.h"

#include <QVarLengthArray>

namespace tw {

namespace {

inline Variant evalNode(TfsExpressionNode *n) { return n ? n->Eval() : Variant::null(); }

inline bool isTrue(const Variant &v)
{
    if (v.kind() == Variant::Kind::Boolean)
        return v.toBool();
    return v.toBool();
}

QString quoted(const QString &name) { return QLatin1Char('\'') + name + QLatin1Char('\''); }

Object *objectOf(const Variant &v) { return v.isObject() ? v.toObject() : nullptr; }

template <TfsOperatorType OP>
class TOpNode : public TfsExpressionNode {
public:
    int Priority() const override { return fsOperatorPriority(OP); }
    TfsOperatorType Op() const override { return OP; }
    Variant Eval() override;
    bool EvalInt(int &out) override;
    bool ShortCircuit = false;
};

template <TfsOperatorType OP>
bool TOpNode<OP>::EvalInt(int &out)
{
    if constexpr (OP == opUnMinus) {
        int a;
        if (!Left || !Left->EvalInt(a) || a == INT32_MIN)
            return false;
        out = -a;
        return true;
    } else if constexpr (OP == opPlus || OP == opMinus || OP == opMul || OP == opMod || OP == opDivInt) {
        int a;
        int b;
        if (!Left || !Right || !Left->EvalInt(a) || !Right->EvalInt(b))
            return false;
        qint64 r;
        if constexpr (OP == opPlus)
            r = qint64(a) + b;
        else if constexpr (OP == opMinus)
            r = qint64(a) - b;
        else if constexpr (OP == opMul)
            r = qint64(a) * b;
        else {
            if (b == 0 || (b == -1 && a == INT32_MIN))
                return false;
            r = OP == opMod ? a % b : a / b;
        }
        if (r < INT32_MIN || r > INT32_MAX)
            return false;
        out = int(r);
        return true;
    } else {
        (void)out;
        return false;
    }
}

template <TfsOperatorType OP>
Variant TOpNode<OP>::Eval()
{
    if constexpr (OP == opPlus || OP == opMinus || OP == opMul || OP == opMod || OP == opDivInt || OP == opUnMinus) {
        int r;
        if (Typ == fvtInt && EvalInt(r))
            return Variant(r);
    }
    if constexpr (OP == opNot)
        return var::logicalNot(evalNode(Left));
    else if constexpr (OP == opUnMinus)
        return var::negate(evalNode(Left));
    else if constexpr (OP == opAnd) {
        Variant l = evalNode(Left);
        if (ShortCircuit && !(l.kind() == Variant::Kind::Boolean && l.toBool()))
            return l;
        return var::logicalAnd(l, evalNode(Right));
    } else if constexpr (OP == opOr) {
        Variant l = evalNode(Left);
        if (ShortCircuit && l.kind() == Variant::Kind::Boolean && l.toBool())
            return l;
        return var::logicalOr(l, evalNode(Right));
    } else if constexpr (OP == opIn) {
        Variant l = evalNode(Left);
        if (auto *set = dynamic_cast<TfsSetNode *>(Right))
            return Variant(set->Set->Contains(l));
        Variant r = evalNode(Right);
        if (r.isArray()) {
            for (const Variant &e : r.elements())
                if (var::equals(l, e))
                    return Variant(true);
            return Variant(false);
        }
        return Variant(var::equals(l, r));
    } else if constexpr (OP == opIs) {
        Variant l = evalNode(Left);
        Object *obj = objectOf(l);
        auto *dn = dynamic_cast<TfsDesignatorNode *>(Right);
        if (!obj || !dn || dn->Designator->Items.empty())
            return Variant(false);
        auto *cls = dynamic_cast<TfsClassVariable *>(dn->Designator->Items.back()->Ref);
        if (!cls)
            return Variant(false);
        if (cls->ClassRef)
            return Variant(objectInherits(obj, cls->ClassRef));
        const ClassInfo *ci = obj->classInfo();
        return Variant(ci && ci->inheritsFrom(cls->Name()));
    } else {
        Variant l = evalNode(Left);
        Variant r = evalNode(Right);
        // Two 32-bit integers are the common case in templates; skip the general variant rules.
        if (l.kind() == Variant::Kind::Int32 && r.kind() == Variant::Kind::Int32) {
            const int a = l.int32Value();
            const int b = r.int32Value();
            if constexpr (OP == opGreat)
                return Variant(a > b);
            else if constexpr (OP == opLess)
                return Variant(a < b);
            else if constexpr (OP == opLessEq)
                return Variant(a <= b);
            else if constexpr (OP == opGreatEq)
                return Variant(a >= b);
            else if constexpr (OP == opNonEq)
                return Variant(a != b);
            else if constexpr (OP == opEq)
                return Variant(a == b);
            else if constexpr (OP == opMul) {
                const qint64 m = qint64(a) * b;
                if (m >= INT32_MIN && m <= INT32_MAX)
                    return Variant(int(m));
            } else if constexpr (OP == opMod || OP == opDivInt) {
                if (b != 0 && !(b == -1 && a == INT32_MIN))
                    return Variant(OP == opMod ? a % b : a / b);
            }
        }
        if constexpr (OP == opGreat)
            return Variant(var::greater(l, r));
        else if constexpr (OP == opLess)
            return Variant(var::less(l, r));
        else if constexpr (OP == opLessEq)
            return Variant(var::lessOrEqual(l, r));
        else if constexpr (OP == opGreatEq)
            return Variant(var::greaterOrEqual(l, r));
        else if constexpr (OP == opNonEq)
            return Variant(!var::equals(l, r));
        else if constexpr (OP == opEq)
            return Variant(var::equals(l, r));
        else if constexpr (OP == opPlus) {
            if (l.kind() == Variant::Kind::Int32 && r.kind() == Variant::Kind::Int32) {
                const qint64 s = qint64(l.int32Value()) + r.int32Value();
                if (s >= INT32_MIN && s <= INT32_MAX)
                    return Variant(int(s));
            }
            return var::add(l, r);
        } else if constexpr (OP == opStrCat) {
            if (l.isString())
                return Variant(l.toString() + r.toText());
            return var::add(l, r);
        } else if constexpr (OP == opMinus) {
            if (l.kind() == Variant::Kind::Int32 && r.kind() == Variant::Kind::Int32) {
                const qint64 s = qint64(l.int32Value()) - r.int32Value();
                if (s >= INT32_MIN && s <= INT32_MAX)
                    return Variant(int(s));
            }
            return var::sub(l, r);
        } else if constexpr (OP == opMul)
            return var::mul(l, r);
        else if constexpr (OP == opDivFloat)
            return var::divide(l, r);
        else if constexpr (OP == opDivInt)
            return var::intDiv(l, r);
        else if constexpr (OP == opMod)
            return var::mod(l, r);
        else if constexpr (OP == opXor)
            return var::logicalXor(l, r);
        else if constexpr (OP == opShl)
            return var::shl(l, r);
        else if constexpr (OP == opShr)
            return var::shr(l, r);
        else
            return r;
    }
}

// Brackets and the root only shape the tree; they are never evaluated once it is complete.
class TStructNode : public TfsExpressionNode {
public:
    explicit TStructNode(TfsOperatorType op) : m_op(op) {}
    int Priority() const override { return fsOperatorPriority(m_op); }
    TfsOperatorType Op() const override { return m_op; }
    Variant Eval() override { return evalNode(Left); }

private:
    TfsOperatorType m_op;
};

} // namespace

using TGreatNode = TOpNode<opGreat>;
using TLessNode = TOpNode<opLess>;
using TLessEqNode = TOpNode<opLessEq>;
using TGreatEqNode = TOpNode<opGreatEq>;
using TNonEqNode = TOpNode<opNonEq>;
using TEqNode = TOpNode<opEq>;
using TPlusNode = TOpNode<opPlus>;
using TStrCatNode = TOpNode<opStrCat>;
using TMinusNode = TOpNode<opMinus>;
using TOrNode = TOpNode<opOr>;
using TXorNode = TOpNode<opXor>;
using TMulNode = TOpNode<opMul>;
using TDivFloatNode = TOpNode<opDivFloat>;
using TDivIntNode = TOpNode<opDivInt>;
using TModNode = TOpNode<opMod>;
using TAndNode = TOpNode<opAnd>;
using TShlNode = TOpNode<opShl>;
using TShrNode = TOpNode<opShr>;
using TNotNode = TOpNode<opNot>;
using TUnMinusNode = TOpNode<opUnMinus>;
using TInNode = TOpNode<opIn>;
using TIsNode = TOpNode<opIs>;

int fsOperatorPriority(TfsOperatorType op)
{
    switch (op) {
    case opNot: case opUnMinus:
        return 1;
    case opMul: case opDivFloat: case opDivInt: case opMod: case opAnd: case opShl: case opShr:
        return 2;
    case opPlus: case opMinus: case opOr: case opXor: case opStrCat:
        return 3;
    case opGreat: case opLess: case opLessEq: case opGreatEq: case opNonEq: case opEq: case opIn: case opIs:
        return 4;
    case opRightBracket:
        return 5;
    case opLeftBracket:
        return 6;
    case opNone:
        return 7;
    }
    return 7;
}

TfsExpressionNode *fsMakeOperatorNode(TfsOperatorType op)
{
    switch (op) {
    case opNone: return new TStructNode(opNone);
    case opLeftBracket: return new TStructNode(opLeftBracket);
    case opRightBracket: return new TStructNode(opRightBracket);
    case opGreat: return new TGreatNode;
    case opLess: return new TLessNode;
    case opLessEq: return new TLessEqNode;
    case opGreatEq: return new TGreatEqNode;
    case opNonEq: return new TNonEqNode;
    case opEq: return new TEqNode;
    case opPlus: return new TPlusNode;
    case opStrCat: return new TStrCatNode;
    case opMinus: return new TMinusNode;
    case opOr: return new TOrNode;
    case opXor: return new TXorNode;
    case opMul: return new TMulNode;
    case opDivFloat: return new TDivFloatNode;
    case opDivInt: return new TDivIntNode;
    case opMod: return new TModNode;
    case opAnd: return new TAndNode;
    case opShl: return new TShlNode;
    case opShr: return new TShrNode;
    case opNot: return new TNotNode;
    case opUnMinus: return new TUnMinusNode;
    case opIn: return new TInNode;
    case opIs: return new TIsNode;
    }
    return nullptr;
}

void fsSetShortCircuit(TfsExpressionNode *node)
{
    if (auto *a = dynamic_cast<TAndNode *>(node))
        a->ShortCircuit = true;
    else if (auto *o = dynamic_cast<TOrNode *>(node))
        o->ShortCircuit = true;
}

TfsExpressionNode::~TfsExpressionNode()
{
    delete Left;
    delete Right;
}

TfsOperandNode::TfsOperandNode(const Variant &value) : Value(value)
{
    switch (value.kind()) {
    case Variant::Kind::Boolean: Typ = fvtBool; break;
    case Variant::Kind::Double: Typ = fvtFloat; break;
    case Variant::Kind::Int64: Typ = fvtInt64; break;
    case Variant::Kind::String: Typ = fvtString; break;
    default: Typ = fvtInt; break;
    }
}

TfsDesignatorNode::TfsDesignatorNode(TfsDesignator *designator) : Designator(designator)
{
    if (auto *v = dynamic_cast<TfsVariableDesignator *>(designator))
        FastVar = v->Var;
    Typ = designator->Typ;
    TypeName = designator->TypeName;
}

TfsDesignatorNode::~TfsDesignatorNode() { delete Designator; }

Variant TfsDesignatorNode::Eval() { return FastVar ? FastVar->GetValue() : Designator->GetValue(); }

TfsSetExpression::~TfsSetExpression()
{
    for (TfsExpression *e : Items)
        delete e;
}

bool TfsSetExpression::Contains(const Variant &value)
{
    const int n = int(Items.size());
    for (int i = 0; i < n; ++i) {
        TfsExpression *e = Items[size_t(i)];
        if (!e)
            continue;
        if (i + 2 < n && !Items[size_t(i + 1)] && Items[size_t(i + 2)]) {
            const Variant lo = e->Value();
            const Variant hi = Items[size_t(i + 2)]->Value();
            if (var::lessOrEqual(lo, value) && var::lessOrEqual(value, hi))
                return true;
            i += 2;
        } else if (var::equals(value, e->Value())) {
            return true;
        }
    }
    return false;
}

Variant TfsSetExpression::ToArray()
{
    QVector<Variant> values;
    const int n = int(Items.size());
    for (int i = 0; i < n; ++i) {
        TfsExpression *e = Items[size_t(i)];
        if (!e)
            continue;
        if (i + 2 < n && !Items[size_t(i + 1)] && Items[size_t(i + 2)]) {
            const Variant lo = e->Value();
            const Variant hi = Items[size_t(i + 2)]->Value();
            i += 2;
            // Small integer ranges become their elements; anything else keeps its bounds.
            if (lo.isOrdinal() && hi.isOrdinal() && hi.toInt64() - lo.toInt64() <= 65536) {
                for (qint64 v = lo.toInt64(); v <= hi.toInt64(); ++v)
                    values.append(v >= INT32_MIN && v <= INT32_MAX ? Variant(int(v)) : Variant(v));
            } else {
                values << lo << hi;
            }
        } else {
            values.append(e->Value());
        }
    }
    return Variant::arrayOf(values);
}

TfsExpression::~TfsExpression() { delete Root; }

TfsDesignator *TfsExpression::SingleDesignator() const
{
    auto *dn = dynamic_cast<TfsDesignatorNode *>(Root);
    return dn ? dn->Designator : nullptr;
}

bool TfsExpression::IsWritable() const
{
    TfsDesignator *d = SingleDesignator();
    return d && !d->IsReadOnly;
}

TfsExpression *fsConstExpression(const Variant &value)
{
    auto *e = new TfsExpression;
    e->Root = new TfsOperandNode(value);
    e->Typ = e->Root->Typ;
    return e;
}

// ---------------------------------------------------------------------------------------
// Designators

Variant TfsDesignator::GetValue()
{
    TfsCustomVariable *prevRef = nullptr;
    Variant v;
    for (auto &item : Items) {
        v = evalStep(item.get(), prevRef, v);
        prevRef = item->Ref;
    }
    return v;
}

void TfsDesignator::SetValue(const Variant &value)
{
    TfsCustomVariable *prevRef = nullptr;
    Variant v;
    const size_t n = Items.size();
    for (size_t i = 0; i + 1 < n; ++i) {
        v = evalStep(Items[i].get(), prevRef, v);
        prevRef = Items[i]->Ref;
    }
    if (n)
        setStep(Items[n - 1].get(), prevRef, v, value);
}

void TfsDesignator::prepareHelper(TfsDesignatorItem *item, TfsCustomHelper *helper, TfsCustomVariable *prevRef,
                                  const Variant &prev)
{
    // Arguments are evaluated before any is assigned: an argument may call the same helper.
    const int n = std::min(int(item->Args.size()), helper->Count());
    QVarLengthArray<Variant, 8> values;
    for (int i = 0; i < n; ++i)
        values.append(helper->IsMacro ? Variant(item->Args[size_t(i)]->Source) : item->Args[size_t(i)]->Value());
    for (int i = 0; i < n; ++i)
        helper->Params(i)->SetRawValue(values[i]);
    helper->ParentRef = prevRef;
    helper->ParentValue = prev;
    helper->Prog = Prog;
}

void TfsDesignator::writeBack(TfsDesignatorItem *item, TfsCustomVariable *callee)
{
    if (!item->HasVarParams)
        return;
    const int n = std::min(int(item->Args.size()), callee->Count());
    for (int i = 0; i < n; ++i) {
        TfsParamItem *p = callee->Params(i);
        if (p->IsVarParam && item->Args[size_t(i)]->IsWritable())
            item->Args[size_t(i)]->SingleDesignator()->SetValue(p->RawValue());
    }
}

Variant TfsDesignator::callProc(TfsDesignatorItem *item)
{
    auto *proc = static_cast<TfsProcVariable *>(item->Ref);
    QVarLengthArray<Variant, 8> values;
    for (auto &arg : item->Args)
        values.append(proc->IsMacro ? Variant(arg->Source) : arg->Value());
    if (!item->HasVarParams)
        return proc->Call(values.data(), int(values.size()));
    QVector<Variant> finals;
    Variant result = proc->Call(values.data(), int(values.size()), &finals);
    const int n = std::min(int(item->Args.size()), int(finals.size()));
    for (int i = 0; i < n; ++i)
        if (proc->Params(i)->IsVarParam && item->Args[size_t(i)]->IsWritable())
            item->Args[size_t(i)]->SingleDesignator()->SetValue(finals[i]);
    return result;
}

TfsCustomHelper *TfsDesignator::lateMember(TfsDesignatorItem *item, const Variant &prev, bool index)
{
    Object *obj = objectOf(prev);
    TfsClassVariable *cls = obj ? Prog->FindClassOf(obj) : nullptr;
    TfsCustomHelper *member = nullptr;
    if (cls)
        member = index ? cls->DefProperty : cls->Find(item->Name);
    if (!member) {
        if (index && cls)
            throw Error(fsmsg::SClassError().replace(QStringLiteral("%s"), cls->Name()));
        if (index)
            throw Error(fsmsg::SArrayRequired());
        throw Error(fsmsg::SIdUndeclared() + quoted(item->Name));
    }
    return member;
}

Variant TfsDesignator::evalStep(TfsDesignatorItem *item, TfsCustomVariable *prevRef, const Variant &prev)
{
    switch (item->Kind) {
    case TfsStepKind::Variable:
        return item->Ref->GetValue();
    case TfsStepKind::Constant:
        return item->Constant;
    case TfsStepKind::Cast:
        return item->Args.empty() ? Variant::null() : item->Args[0]->Value();
    case TfsStepKind::Proc:
        return callProc(item);
    case TfsStepKind::Helper: {
        auto *h = static_cast<TfsCustomHelper *>(item->Ref);
        prepareHelper(item, h, prevRef, prev);
        Variant r = h->GetValue();
        h->ParentValue = Variant();
        writeBack(item, h);
        return r;
    }
    case TfsStepKind::Late: {
        TfsCustomHelper *h = lateMember(item, prev, false);
        prepareHelper(item, h, prevRef, prev);
        Variant r = h->GetValue();
        h->ParentValue = Variant();
        writeBack(item, h);
        return r;
    }
    case TfsStepKind::LateIndex: {
        if (prev.isString()) {
            const int i = item->Args.empty() ? 0 : item->Args[0]->Value().toInt();
            const QString s = prev.toString();
            return (i >= 1 && i <= s.size()) ? Variant(QString(s.at(i - 1))) : Variant(QString());
        }
        if (prev.isArray()) {
            QVector<int> idx;
            for (auto &a : item->Args)
                idx.append(a->Value().toInt());
            return prev.at(idx);
        }
        TfsCustomHelper *h = lateMember(item, prev, true);
        prepareHelper(item, h, prevRef, prev);
        Variant r = h->GetValue();
        h->ParentValue = Variant();
        return r;
    }
    }
    return Variant::null();
}

void TfsDesignator::setStep(TfsDesignatorItem *item, TfsCustomVariable *prevRef, const Variant &prev,
                            const Variant &value)
{
    switch (item->Kind) {
    case TfsStepKind::Variable:
        item->Ref->SetValue(value);
        return;
    case TfsStepKind::Helper: {
        auto *h = static_cast<TfsCustomHelper *>(item->Ref);
        prepareHelper(item, h, prevRef, prev);
        h->SetValue(value);
        h->ParentValue = Variant();
        return;
    }
    case TfsStepKind::Late: {
        TfsCustomHelper *h = lateMember(item, prev, false);
        prepareHelper(item, h, prevRef, prev);
        h->SetValue(value);
        h->ParentValue = Variant();
        return;
    }
    case TfsStepKind::LateIndex: {
        if ((prev.isString() || prev.isArray()) && prevRef) {
            if (prev.isArray()) {
                QVector<int> idx;
                for (auto &a : item->Args)
                    idx.append(a->Value().toInt());
                Variant arr = prev;
                arr.at(idx) = value;
                prevRef->SetValue(arr);
            } else {
                const int i = item->Args.empty() ? 0 : item->Args[0]->Value().toInt();
                QString s = prev.toString();
                const QString c = value.toText();
                if (i >= 1 && i <= s.size() && !c.isEmpty()) {
                    s[i - 1] = c.at(0);
                    prevRef->SetValue(Variant(s));
                }
            }
            return;
        }
        TfsCustomHelper *h = lateMember(item, prev, true);
        prepareHelper(item, h, prevRef, prev);
        h->SetValue(value);
        h->ParentValue = Variant();
        return;
    }
    default:
        return;
    }
}

namespace {
QVector<int> indexesOf(TfsDesignatorItem *item)
{
    QVector<int> idx;
    idx.reserve(int(item->Args.size()));
    for (auto &a : item->Args)
        idx.append(a->Value().toInt());
    return idx;
}
} // namespace

Variant TfsStringDesignator::GetValue()
{
    const int i = Index->Value().toInt();
    const QString &s = static_cast<TfsStringVariable *>(Var)->Str();
    if (Var->OnGetVarValue) {
        const QString v = Var->GetValue().toText();
        return (i >= 1 && i <= v.size()) ? Variant(QString(v.at(i - 1))) : Variant(QString());
    }
    return (i >= 1 && i <= s.size()) ? Variant(QString(s.at(i - 1))) : Variant(QString());
}

void TfsStringDesignator::SetValue(const Variant &value)
{
    const int i = Index->Value().toInt();
    QString &s = static_cast<TfsStringVariable *>(Var)->Str();
    const QString c = value.toText();
    if (i >= 1 && i <= s.size() && !c.isEmpty())
        s[i - 1] = c.at(0);
}

Variant TfsArrayDesignator::GetValue()
{
    TfsDesignatorItem *item = Items[1].get();
    if (item->Args.size() > 3)
        return Variant::null();
    return static_cast<const TfsCustomVariable *>(Var)->RawValue().at(indexesOf(item));
}

void TfsArrayDesignator::SetValue(const Variant &value)
{
    TfsDesignatorItem *item = Items[1].get();
    if (item->Args.size() > 3)
        return;
    const QVector<int> idx = indexesOf(item);
    Var->RawValueRef().at(idx) = value;
}

// ---------------------------------------------------------------------------------------
// Statements

TfsStatement::TfsStatement(TfsScript *program, const QString &unitName, const QString &sourcePos)
    : Program(program), UnitName(unitName), SourcePos(sourcePos)
{
}

TfsStatement::~TfsStatement() { Clear(); }

void TfsStatement::Clear()
{
    for (TfsStatement *st : m_items)
        delete st;
    m_items.clear();
}

void TfsStatement::Execute() { RunList(); }

void TfsStatement::RunList()
{
    TfsScript *p = Program;
    for (TfsStatement *st : m_items) {
        if (p->FTerminated)
            break;
        try {
            st->Execute();
        } catch (...) {
            p->NoteRunError(st->UnitName, st->SourcePos);
            throw;
        }
        if (p->FBreakCalled || p->FContinueCalled || p->FExitCalled)
            break;
    }
}

bool TfsStatement::runLine()
{
    if (TfsScript *owner = Program->RunLineOwner())
        owner->OnRunLine(owner, UnitName, SourcePos);
    return !Program->FTerminated;
}

TfsAssignmentStmt::~TfsAssignmentStmt()
{
    delete Designator;
    delete Expression;
}

void TfsAssignmentStmt::Execute()
{
    if (!runLine())
        return;
    const Variant v = sourceValue();
    if (Var)
        Var->SetValue(v);
    else
        Designator->SetValue(v);
}

void TfsAssignmentStmt::combineWith(Variant (*op)(const Variant &, const Variant &), const Variant &value)
{
    if (Var)
        Var->SetValue(op(Var->GetValue(), value));
    else
        Designator->SetValue(op(Designator->GetValue(), value));
}

void TfsAssignPlusStmt::Execute()
{
    if (!runLine())
        return;
    const Variant e = sourceValue();
    if (Var) {
        if (Var->Typ == fvtString && e.isString() && !Var->OnGetVarValue) {
            if (auto *sv = dynamic_cast<TfsStringVariable *>(Var)) {
                sv->Str() += e.toString();
                return;
            }
        }
        const Variant cur = Var->GetValue();
        if (cur.kind() == Variant::Kind::Int32 && e.kind() == Variant::Kind::Int32) {
            const qint64 s = qint64(cur.int32Value()) + e.int32Value();
            if (s >= INT32_MIN && s <= INT32_MAX) {
                Var->SetValue(Variant(int(s)));
                return;
            }
        }
        Var->SetValue(var::add(cur, e));
    } else {
        Designator->SetValue(var::add(Designator->GetValue(), e));
    }
}

void TfsAssignMinusStmt::Execute()
{
    if (runLine())
        combineWith(var::sub, sourceValue());
}

void TfsAssignMulStmt::Execute()
{
    if (runLine())
        combineWith(var::mul, sourceValue());
}

void TfsAssignDivStmt::Execute()
{
    if (runLine())
        combineWith(var::divide, sourceValue());
}

TfsCallStmt::~TfsCallStmt() { delete Designator; }

void TfsCallStmt::Execute()
{
    if (!runLine())
        return;
    if (Modificator.isEmpty()) {
        Designator->GetValue();
        return;
    }
    const Variant v = Designator->GetValue();
    Designator->SetValue(Modificator == QLatin1String("+") ? var::add(v, Variant(1)) : var::sub(v, Variant(1)));
}

TfsIfStmt::TfsIfStmt(TfsScript *program, const QString &unitName, const QString &sourcePos)
    : TfsStatement(program, unitName, sourcePos), ElseStmt(new TfsStatement(program, unitName, sourcePos))
{
}

TfsIfStmt::~TfsIfStmt() { delete Condition; }

void TfsIfStmt::Execute()
{
    if (!runLine())
        return;
    if (isTrue(Condition->Value()))
        RunList();
    else
        ElseStmt->RunList();
}

TfsCaseSelector::~TfsCaseSelector() { delete SetExpression; }

TfsCaseStmt::TfsCaseStmt(TfsScript *program, const QString &unitName, const QString &sourcePos)
    : TfsStatement(program, unitName, sourcePos), ElseStmt(new TfsStatement(program, unitName, sourcePos))
{
}

TfsCaseStmt::~TfsCaseStmt() { delete Condition; }

void TfsCaseStmt::Execute()
{
    if (!runLine())
        return;
    const Variant v = Condition->Value();
    for (TfsStatement *st : m_items) {
        auto *sel = static_cast<TfsCaseSelector *>(st);
        if (sel->SetExpression->Contains(v)) {
            sel->RunList();
            return;
        }
    }
    ElseStmt->RunList();
}

TfsRepeatStmt::~TfsRepeatStmt() { delete Condition; }

void TfsRepeatStmt::Execute()
{
    if (!runLine())
        return;
    TfsScript *p = Program;
    for (;;) {
        RunList();
        fsinternal::runCheckStep();
        if (p->FBreakCalled || p->FExitCalled || p->FTerminated)
            break;
        p->FContinueCalled = false;
        const bool c = isTrue(Condition->Value());
        if (InverseCondition ? !c : c)
            break;
    }
    p->FBreakCalled = false;
}

TfsWhileStmt::~TfsWhileStmt() { delete Condition; }

void TfsWhileStmt::Execute()
{
    if (!runLine())
        return;
    TfsScript *p = Program;
    while (!p->FTerminated && isTrue(Condition->Value())) {
        RunList();
        if (p->FBreakCalled || p->FExitCalled)
            break;
        p->FContinueCalled = false;
        fsinternal::runCheckStep();
    }
    p->FBreakCalled = false;
}

TfsForStmt::~TfsForStmt()
{
    delete BeginValue;
    delete EndValue;
}

void TfsForStmt::Execute()
{
    const Variant b = BeginValue->Value();
    const Variant e = EndValue->Value();
    if (!runLine())
        return;
    const int start = b.toInt();
    const int end = e.toInt();
    TfsScript *p = Program;
    if (!Down) {
        for (qint64 i = start; i <= end; ++i) {
            Variable->SetRawValue(Variant(int(i)));
            RunList();
            fsinternal::runCheckStep();
            if (p->FBreakCalled || p->FExitCalled || p->FTerminated)
                break;
            p->FContinueCalled = false;
        }
    } else {
        for (qint64 i = start; i >= end; --i) {
            Variable->SetRawValue(Variant(int(i)));
            RunList();
            fsinternal::runCheckStep();
            if (p->FBreakCalled || p->FExitCalled || p->FTerminated)
                break;
            p->FContinueCalled = false;
        }
    }
    p->FBreakCalled = false;
    p->FContinueCalled = false;
}

TfsVbForStmt::~TfsVbForStmt()
{
    delete BeginValue;
    delete EndValue;
    delete Step;
}

void TfsVbForStmt::Execute()
{
    Variant counter = BeginValue->Value();
    const Variant end = EndValue->Value();
    const Variant step = Step ? Step->Value() : Variant(1);
    if (!runLine())
        return;
    TfsScript *p = Program;
    const bool negative = var::less(step, Variant(0));
    while (!p->FTerminated && (negative ? var::greaterOrEqual(counter, end) : var::lessOrEqual(counter, end))) {
        Variable->SetValue(counter);
        RunList();
        if (p->FBreakCalled || p->FExitCalled)
            break;
        p->FContinueCalled = false;
        fsinternal::runCheckStep();
        counter = var::add(counter, step);
    }
    p->FBreakCalled = false;
}

TfsCppForStmt::TfsCppForStmt(TfsScript *program, const QString &unitName, const QString &sourcePos)
    : TfsStatement(program, unitName, sourcePos),
      FirstStmt(new TfsStatement(program, unitName, sourcePos)),
      SecondStmt(new TfsStatement(program, unitName, sourcePos))
{
}

TfsCppForStmt::~TfsCppForStmt() { delete Expression; }

void TfsCppForStmt::Execute()
{
    if (!runLine())
        return;
    TfsScript *p = Program;
    FirstStmt->RunList();
    for (;;) {
        if (p->FTerminated || p->FExitCalled)
            break;
        if (Expression && !isTrue(Expression->Value()))
            break;
        RunList();
        if (p->FBreakCalled || p->FExitCalled)
            break;
        p->FContinueCalled = false;
        SecondStmt->RunList();
        fsinternal::runCheckStep();
    }
    p->FBreakCalled = false;
}

TfsTryStmt::TfsTryStmt(TfsScript *program, const QString &unitName, const QString &sourcePos)
    : TfsStatement(program, unitName, sourcePos), ExceptStmt(new TfsStatement(program, unitName, sourcePos))
{
}

void TfsTryStmt::Execute()
{
    if (!runLine())
        return;
    TfsScript *p = Program;
    if (IsExcept) {
        bool raised = false;
        QString cls;
        QString msg;
        try {
            RunList();
        } catch (const Error &e) {
            raised = true;
            cls = e.className();
            msg = e.message();
        } catch (const std::exception &e) {
            raised = true;
            cls = QStringLiteral("Exception");
            msg = QString::fromUtf8(e.what());
        }
        if (raised) {
            TfsScript *root = p->Root();
            root->RunErrorPos.clear();
            root->RunErrorUnit.clear();
            if (ClassNameVar)
                ClassNameVar->SetValue(Variant(cls));
            if (MessageVar)
                MessageVar->SetValue(Variant(msg));
            ExceptStmt->RunList();
        }
        return;
    }
    // The flags that left the body would otherwise cut the handler short after its first
    // statement; they take effect again once it has run.
    auto runFinally = [&] {
        const bool savedExit = p->FExitCalled;
        const bool savedBreak = p->FBreakCalled;
        const bool savedContinue = p->FContinueCalled;
        p->FExitCalled = false;
        p->FBreakCalled = false;
        p->FContinueCalled = false;
        ExceptStmt->RunList();
        p->FExitCalled = savedExit || p->FExitCalled;
        p->FBreakCalled = savedBreak || p->FBreakCalled;
        p->FContinueCalled = savedContinue || p->FContinueCalled;
    };
    try {
        RunList();
    } catch (...) {
        runFinally();
        throw;
    }
    runFinally();
}

void TfsExitStmt::Execute()
{
    runLine();
    Program->FExitCalled = true;
}

TfsWithStmt::~TfsWithStmt() { delete Designator; }

void TfsWithStmt::Execute() { Variable->SetValue(Designator->GetValue()); }

TfsDeleteStmt::~TfsDeleteStmt() { delete Designator; }

void TfsDeleteStmt::Execute()
{
    if (!runLine())
        return;
    const Variant v = Designator->GetValue();
    Object *obj = objectOf(v);
    if (!obj)
        return;
    TfsClassVariable *cls = Program->FindClassOf(obj);
    auto *m = cls ? dynamic_cast<TfsMethodHelper *>(cls->Find(QStringLiteral("Free"))) : nullptr;
    if (!m)
        return;
    m->ParentValue = v;
    m->Prog = Program;
    m->GetValue();
    m->ParentValue = Variant();
}

} // namespace tw
