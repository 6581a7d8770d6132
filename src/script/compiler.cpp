// The build pass: turns the intermediate program into runtime objects.

#include "base/sametext.h"
#include "script/expression.h"
#include "script/interpreter.h"
#include "script/messages.h"

#include <QHash>

namespace tw {

namespace fsinternal {

namespace {

QString quoted(const QString &name) { return QLatin1Char('\'') + name + QLatin1Char('\''); }

QString textOf(const TfsXMLItem *item) { return item->Prop(QStringLiteral("text")); }
QString posOf(const TfsXMLItem *item) { return item->Prop(QStringLiteral("pos")); }
bool named(const TfsXMLItem *item, const char *name) { return sameText(item->Name(), QLatin1String(name)); }

// The first child of that name, or nullptr (FindItem would add one).
TfsXMLItem *child(const TfsXMLItem *item, const char *name)
{
    const int i = item->Find(QLatin1String(name));
    return i >= 0 ? item->Items(i) : nullptr;
}

TfsOperatorType operatorOf(const QString &text)
{
    static const QHash<QString, TfsOperatorType> ops = {
        {QStringLiteral("("), opLeftBracket}, {QStringLiteral(")"), opRightBracket},
        {QStringLiteral("unminus"), opUnMinus}, {QStringLiteral("not"), opNot},
        {QStringLiteral("+"), opPlus}, {QStringLiteral("-"), opMinus}, {QStringLiteral("or"), opOr},
        {QStringLiteral("xor"), opXor}, {QStringLiteral("*"), opMul}, {QStringLiteral("/"), opDivFloat},
        {QStringLiteral("div"), opDivInt}, {QStringLiteral("mod"), opMod}, {QStringLiteral("and"), opAnd},
        {QStringLiteral("shl"), opShl}, {QStringLiteral("shr"), opShr}, {QStringLiteral("="), opEq},
        {QStringLiteral("<>"), opNonEq}, {QStringLiteral("<"), opLess}, {QStringLiteral(">"), opGreat},
        {QStringLiteral("<="), opLessEq}, {QStringLiteral(">="), opGreatEq}, {QStringLiteral("in"), opIn},
        {QStringLiteral("is"), opIs}, {QStringLiteral("strcat"), opStrCat},
    };
    return ops.value(text.toLower(), opNone);
}

bool isComparison(TfsOperatorType op)
{
    return op == opGreat || op == opLess || op == opLessEq || op == opGreatEq || op == opNonEq || op == opEq;
}

Variant literalValue(const QString &text)
{
    if (text.startsWith(QLatin1Char('\'')))
        return Variant(text.mid(1, text.size() - 2));
    bool ok = false;
    qint64 i = 0;
    if (text.startsWith(QLatin1Char('$')))
        i = text.mid(1).toLongLong(&ok, 16);
    else
        i = text.toLongLong(&ok, 10);
    if (ok)
        return (i >= INT32_MIN && i <= INT32_MAX) ? Variant(int(i)) : Variant(i);
    return Variant(text.toDouble());
}

Variant initialValue(TfsVarType t)
{
    switch (t) {
    case fvtBool: return Variant(false);
    case fvtChar: case fvtString: return Variant(QString());
    case fvtInt: case fvtFloat: case fvtInt64: case fvtClass: return Variant(0);
    default: return Variant::null();
    }
}

} // namespace

class Builder {
public:
    // The builder only reads the intermediate program.
    Builder(TfsScript *script, TfsILParser &parser, const TfsXMLItem *program)
        : m_script(script), m_parser(parser),
          m_root(program ? const_cast<TfsXMLItem *>(program) : parser.ILScript()->Root())
    {
        m_needDeclare = parser.NeedDeclareVars();
        TfsXMLItem *root = m_root;
        for (int i = root->Count() - 1; i >= 0; --i)
            if (named(root->Items(i), "types")) {
                m_ilTypes = root->Items(i);
                break;
            }
        if (TfsXMLItem *g = parser.Grammar()->Root()) {
            m_grammarTypes = child(g, "types");
            if (!m_grammarTypes)
                if (TfsXMLItem *p = child(g, "parser"))
                    m_grammarTypes = child(p, "types");
        }
        m_text = parser.Parser()->Text();
    }

    void build()
    {
        TfsXMLItem *root = m_root;
        ++m_script->m_changes;
        m_script->m_statement.reset(new TfsStatement(m_script, QString(), QString()));
        registerProcs(root, m_script);
        buildChildren(root, m_script, m_script->m_statement.get());
    }

    // Where the last node with a position was, for the error of a failed build.
    QString errorPos() const { return m_posItem ? posOf(m_posItem) : m_pos; }
    QString unitName;

private:
    [[noreturn]] void fail(const QString &msg) { throw Error(msg); }
    // Every node built passes here: the node is noted, its position read only on failure.
    void at(const TfsXMLItem *item)
    {
        if (!item->RawProp(kPos).isEmpty())
            m_posItem = item;
    }
    void setErrorPos(const QString &pos)
    {
        m_posItem = nullptr;
        m_pos = pos;
    }
    inline static const QString kPos = QStringLiteral("pos");
    const TfsXMLItem *m_posItem = nullptr;
    QString m_pos;

    // ----- declarations

    TfsVarType resolveType(const QString &name, TfsScript *prog, QString &typeName)
    {
        typeName = name;
        QString mapped = name;
        bool found = false;
        for (TfsXMLItem *types : {m_ilTypes, m_grammarTypes}) {
            if (!types || found)
                continue;
            for (int i = 0; i < types->Count(); ++i)
                if (types->Items(i)->Name().compare(name, Qt::CaseInsensitive) == 0) {
                    mapped = types->Items(i)->Prop(QStringLiteral("type"));
                    found = true;
                    break;
                }
        }
        TfsCustomVariable *sym = prog->Find(mapped);
        if (!sym)
            fail(fsmsg::SUnknownType() + quoted(name));
        if (auto *cls = dynamic_cast<TfsClassVariable *>(sym)) {
            typeName = cls->Name();
            return fvtClass;
        }
        if (sym->Typ == fvtEnum || sym->Typ == fvtClass)
            typeName = sym->TypeName.isEmpty() ? name : sym->TypeName;
        return sym->Typ;
    }

    void checkNew(const QString &name, TfsScript *prog)
    {
        if (prog->FindLocal(name))
            fail(fsmsg::SIdRedeclared() + quoted(name));
    }

    void registerProcs(TfsXMLItem *parent, TfsScript *prog)
    {
        for (int i = 0; i < parent->Count(); ++i) {
            TfsXMLItem *c = parent->Items(i);
            if (named(c, "procedure") || named(c, "function"))
                registerProc(c, prog);
            else if (named(c, "compoundstmt"))
                registerProcs(c, prog);
        }
    }

    TfsProcVariable *registerProc(TfsXMLItem *item, TfsScript *prog)
    {
        if (TfsProcVariable *known = m_procs.value(item))
            return known;
        at(item);
        QString name;
        TfsXMLItem *params = nullptr;
        TfsXMLItem *type = nullptr;
        for (int i = 0; i < item->Count(); ++i) {
            TfsXMLItem *c = item->Items(i);
            if (named(c, "name") && name.isEmpty()) {
                name = textOf(c);
                at(c);
            } else if (named(c, "parameters"))
                params = c;
            else if (named(c, "type") && !type)
                type = c;
        }
        checkNew(name, prog);
        bool isFunc = named(item, "function");
        TfsVarType typ = fvtVariant;
        QString typeName = QStringLiteral("Variant");
        if (type) {
            if (textOf(type).compare(QLatin1String("void"), Qt::CaseInsensitive) == 0) {
                isFunc = false;
            } else {
                at(type);
                typ = resolveType(textOf(type), prog, typeName);
            }
        }
        if (!isFunc) {
            typ = fvtVariant;
            typeName.clear();
        }
        auto *proc = new TfsProcVariable(name, typ, typeName, prog, isFunc);
        proc->SourcePos = posOf(item);
        proc->SourceUnit = unitName;
        prog->Add(proc);
        m_procs.insert(item, proc);
        TfsScript *local = proc->Prog();
        if (params) {
            bool byRef = false;
            for (int i = 0; i < params->Count(); ++i) {
                TfsXMLItem *g = params->Items(i);
                if (named(g, "varparams")) {
                    byRef = true;
                    continue;
                }
                if (!named(g, "var"))
                    continue;
                bool isVar = byRef;
                byRef = false;
                TfsVarType pt = fvtVariant;
                QString ptn = QStringLiteral("Variant");
                TfsXMLItem *init = nullptr;
                QList<TfsXMLItem *> idents;
                for (int j = 0; j < g->Count(); ++j) {
                    TfsXMLItem *c = g->Items(j);
                    if (named(c, "varparam"))
                        isVar = true;
                    else if (named(c, "ident"))
                        idents << c;
                    else if (named(c, "init"))
                        init = c;
                    else if (named(c, "type")) {
                        at(c);
                        pt = resolveType(textOf(c), prog, ptn);
                    }
                }
                Variant def = Variant::null();
                if (init && init->Count()) {
                    std::unique_ptr<TfsExpression> e(buildExpression(init->Items(0), prog));
                    at(init->Items(0));
                    def = e->Value();
                }
                for (int k = 0; k < idents.size(); ++k) {
                    at(idents[k]);
                    const QString pn = textOf(idents[k]);
                    checkNew(pn, local);
                    const bool last = k == idents.size() - 1;
                    auto *p = new TfsParamItem(pn, pt, ptn, last && !def.isNull(), isVar);
                    if (last)
                        p->DefValue = def;
                    p->SetRawValue(initialValue(pt));
                    proc->AddParam(p);
                    local->Add(p);
                }
            }
        }
        if (isFunc) {
            TfsCustomVariable *res = makeVar(QStringLiteral("Result"), typ, typeName);
            local->Add(res);
            proc->RefItem = res;
        }
        return proc;
    }

    TfsCustomVariable *makeVar(const QString &name, TfsVarType t, const QString &tn)
    {
        TfsCustomVariable *v = (t == fvtString || t == fvtChar)
            ? static_cast<TfsCustomVariable *>(new TfsStringVariable(name, t, tn))
            : static_cast<TfsCustomVariable *>(new TfsVariable(name, t, tn));
        v->SetRawValue(initialValue(t));
        v->OnGetVarValue = m_script->OnGetVarValue;
        v->SourceUnit = unitName;
        return v;
    }

    void buildVar(TfsXMLItem *item, TfsScript *prog, TfsStatement *list)
    {
        at(item);
        QList<TfsXMLItem *> idents;
        TfsXMLItem *array = nullptr;
        TfsXMLItem *init = nullptr;
        TfsXMLItem *type = nullptr;
        for (int i = 0; i < item->Count(); ++i) {
            TfsXMLItem *c = item->Items(i);
            if (named(c, "ident"))
                idents << c;
            else if (named(c, "array"))
                array = c;
            else if (named(c, "init"))
                init = c;
            else if (named(c, "type"))
                type = c;
        }
        TfsVarType t = fvtVariant;
        QString tn = QStringLiteral("Variant");
        if (type) {
            at(type);
            t = resolveType(textOf(type), prog, tn);
        }
        QVector<Variant::Bound> bounds;
        if (array) {
            for (int i = 0; i < array->Count(); ++i) {
                TfsXMLItem *dim = array->Items(i);
                if (!named(dim, "dim"))
                    continue;
                at(dim);
                QList<Variant> vals;
                for (int j = 0; j < dim->Count(); ++j)
                    if (named(dim->Items(j), "expr")) {
                        std::unique_ptr<TfsExpression> e(buildExpression(dim->Items(j), prog));
                        at(dim->Items(j));
                        vals << e->Value();
                    }
                if (vals.size() >= 2)
                    bounds.append({vals[0].toInt(), vals[1].toInt()});
                else if (vals.size() == 1)
                    bounds.append({0, vals[0].toInt() - 1});
            }
        }
        for (TfsXMLItem *id : idents) {
            at(id);
            const QString name = textOf(id);
            checkNew(name, prog);
            TfsCustomVariable *v;
            if (array) {
                v = makeVar(name, fvtArray, tn);
                v->SetRawValue(bounds.isEmpty() ? Variant::null() : Variant::array(bounds));
                auto *helper = new TfsArrayHelper(QStringLiteral("__ArrayHelper"), std::max(1, int(bounds.size())));
                m_script->KeepItem(helper);
                v->RefItem = helper;
            } else {
                v = makeVar(name, t, tn);
            }
            v->SourcePos = posOf(id);
            prog->Add(v);
            if (init && init->Count()) {
                auto *st = new TfsAssignmentStmt(prog, unitName, posOf(init));
                list->Add(st);
                auto *d = new TfsVariableDesignator(prog);
                d->Var = v;
                d->Typ = v->Typ;
                d->TypeName = v->TypeName;
                auto item0 = std::make_unique<TfsDesignatorItem>();
                item0->Ref = v;
                d->Items.push_back(std::move(item0));
                st->Designator = d;
                st->Var = v;
                at(init);
                st->Expression = buildExpression(init->Items(0), prog);
                checkAssign(v->Typ, v->TypeName, st->Expression->Typ, st->Expression->TypeName);
                if (st->Expression->Root && st->Expression->Root->Priority() == 0)
                    st->Operand = st->Expression->Root;
            }
        }
    }

    void buildConst(TfsXMLItem *item, TfsScript *prog)
    {
        at(item);
        TfsXMLItem *id = child(item, "ident");
        TfsXMLItem *ex = child(item, "expr");
        if (!id || !ex)
            return;
        at(id);
        const QString name = textOf(id);
        checkNew(name, prog);
        std::unique_ptr<TfsExpression> e(buildExpression(ex, prog));
        at(ex);
        // Held until the script owns it: the value may raise (a host failure, 1 div 0).
        std::unique_ptr<TfsCustomVariable> v(makeVar(name, e->Typ, e->TypeName));
        v->SetValue(e->Value());
        v->IsReadOnly = true;
        prog->Add(v.release());
    }

    void buildProcBody(TfsXMLItem *item, TfsScript *prog)
    {
        TfsProcVariable *proc = registerProc(item, prog);
        TfsScript *local = proc->Prog();
        local->m_statement.reset(new TfsStatement(local, unitName, posOf(item)));
        registerProcs(item, local);
        for (int i = 0; i < item->Count(); ++i) {
            TfsXMLItem *c = item->Items(i);
            if (named(c, "name") || named(c, "parameters") || named(c, "type"))
                continue;
            buildItem(c, local, local->m_statement.get());
        }
    }

    // ----- statements

    void buildChildren(TfsXMLItem *parent, TfsScript *prog, TfsStatement *list, int from = 0)
    {
        for (int i = from; i < parent->Count(); ++i)
            buildItem(parent->Items(i), prog, list);
    }

    template <class T>
    T *addStmt(TfsXMLItem *item, TfsScript *prog, TfsStatement *list)
    {
        auto *st = new T(prog, unitName, posOf(item));
        list->Add(st);
        m_script->AddCodeLine(unitName, posOf(item));
        return st;
    }

    void buildItem(TfsXMLItem *item, TfsScript *prog, TfsStatement *list)
    {
        at(item);
        const QString n = item->Name().toLower();
        if (n == QLatin1String("types") || n == QLatin1String("empty") || n == QLatin1String("name"))
            return;
        if (n == QLatin1String("compoundstmt") || n == QLatin1String("thenstmt") || n == QLatin1String("elsestmt")) {
            registerProcs(item, prog);
            buildChildren(item, prog, list);
        } else if (n == QLatin1String("uses")) {
            const QString saved = unitName;
            unitName = item->Prop(QStringLiteral("unit"));
            bool inline_ = false;
            for (int i = 0; i < item->Count(); ++i)
                if (named(item->Items(i), "program")) {
                    inline_ = true;
                    registerProcs(item->Items(i), m_script);
                    buildChildren(item->Items(i), m_script, list);
                }
            if (!inline_ && m_script->OnGetILUnit) {
                QByteArray il;
                m_script->OnGetILUnit(m_script, unitName, il);
                if (!il.isEmpty()) {
                    auto doc = std::make_unique<TfsXMLDocument>();
                    doc->LoadFromBytes(il);
                    registerProcs(doc->Root(), m_script);
                    buildChildren(doc->Root(), m_script, list);
                    m_unitDocs.push_back(std::move(doc));
                }
            }
            unitName = saved;
        } else if (n == QLatin1String("var")) {
            buildVar(item, prog, list);
        } else if (n == QLatin1String("const")) {
            buildConst(item, prog);
        } else if (n == QLatin1String("procedure") || n == QLatin1String("function")) {
            buildProcBody(item, prog);
        } else if (n == QLatin1String("assignstmt")) {
            buildAssign(item, prog, list);
        } else if (n == QLatin1String("callstmt")) {
            buildCall(item, prog, list);
        } else if (n == QLatin1String("ifstmt")) {
            auto *st = addStmt<TfsIfStmt>(item, prog, list);
            for (int i = 0; i < item->Count(); ++i) {
                TfsXMLItem *c = item->Items(i);
                if (named(c, "expr") && !st->Condition)
                    st->Condition = buildExpression(c, prog);
                else if (named(c, "thenstmt"))
                    buildItem(c, prog, st);
                else if (named(c, "elsestmt"))
                    buildItem(c, prog, st->ElseStmt.get());
            }
            if (!st->Condition)
                st->Condition = fsConstExpression(Variant(false));
        } else if (n == QLatin1String("casestmt")) {
            auto *st = addStmt<TfsCaseStmt>(item, prog, list);
            for (int i = 0; i < item->Count(); ++i) {
                TfsXMLItem *c = item->Items(i);
                if (named(c, "expr") && !st->Condition) {
                    st->Condition = buildExpression(c, prog);
                } else if (named(c, "caseselector")) {
                    at(c);
                    TfsXMLItem *set = child(c, "set");
                    if (c->Count() < 2 || !set)
                        continue; // an empty branch falls to the else part
                    auto *sel = new TfsCaseSelector(prog, unitName, posOf(c));
                    st->Add(sel);
                    sel->SetExpression = buildSet(set, prog);
                    for (int j = 0; j < c->Count(); ++j)
                        if (c->Items(j) != set)
                            buildItem(c->Items(j), prog, sel);
                } else {
                    buildItem(c, prog, st->ElseStmt.get());
                }
            }
        } else if (n == QLatin1String("repeatstmt")) {
            auto *st = addStmt<TfsRepeatStmt>(item, prog, list);
            for (int i = 0; i < item->Count(); ++i) {
                TfsXMLItem *c = item->Items(i);
                if (named(c, "expr"))
                    st->Condition = buildExpression(c, prog);
                else if (named(c, "inverse"))
                    st->InverseCondition = true;
                else
                    buildItem(c, prog, st);
            }
            if (!st->Condition)
                st->Condition = fsConstExpression(Variant(true));
        } else if (n == QLatin1String("whilestmt")) {
            auto *st = addStmt<TfsWhileStmt>(item, prog, list);
            for (int i = 0; i < item->Count(); ++i) {
                TfsXMLItem *c = item->Items(i);
                if (named(c, "expr") && !st->Condition)
                    st->Condition = buildExpression(c, prog);
                else
                    buildItem(c, prog, st);
            }
            if (!st->Condition)
                st->Condition = fsConstExpression(Variant(false));
        } else if (n == QLatin1String("forstmt")) {
            buildFor(item, prog, list);
        } else if (n == QLatin1String("vbforstmt")) {
            buildVbFor(item, prog, list);
        } else if (n == QLatin1String("cppforstmt")) {
            buildCppFor(item, prog, list);
        } else if (n == QLatin1String("trystmt")) {
            auto *st = addStmt<TfsTryStmt>(item, prog, list);
            st->ClassNameVar = exceptionVar(QStringLiteral("ExceptionClassName"), prog);
            st->MessageVar = exceptionVar(QStringLiteral("ExceptionMessage"), prog);
            for (int i = 0; i < item->Count(); ++i) {
                TfsXMLItem *c = item->Items(i);
                if (named(c, "exceptstmt") || named(c, "finallystmt")) {
                    st->IsExcept = named(c, "exceptstmt");
                    registerProcs(c, prog);
                    buildChildren(c, prog, st->ExceptStmt.get());
                } else {
                    buildItem(c, prog, st);
                }
            }
        } else if (n == QLatin1String("with")) {
            buildWith(item, prog, list);
        } else if (n == QLatin1String("break")) {
            addStmt<TfsBreakStmt>(item, prog, list);
        } else if (n == QLatin1String("continue")) {
            addStmt<TfsContinueStmt>(item, prog, list);
        } else if (n == QLatin1String("exit")) {
            addStmt<TfsExitStmt>(item, prog, list);
        } else if (n == QLatin1String("return")) {
            TfsXMLItem *ex = child(item, "expr");
            if (ex) {
                TfsCustomVariable *res = prog->FindLocal(QStringLiteral("Result"));
                std::unique_ptr<TfsExpression> e(buildExpression(ex, prog));
                if (res) {
                    auto *st = addStmt<TfsAssignmentStmt>(item, prog, list);
                    checkAssign(res->Typ, res->TypeName, e->Typ, e->TypeName);
                    auto *d = new TfsVariableDesignator(prog);
                    d->Var = res;
                    auto it = std::make_unique<TfsDesignatorItem>();
                    it->Ref = res;
                    d->Items.push_back(std::move(it));
                    st->Designator = d;
                    st->Var = res;
                    st->Expression = e.release();
                }
            }
            addStmt<TfsExitStmt>(item, prog, list);
        } else if (n == QLatin1String("delete")) {
            TfsXMLItem *ds = child(item, "dsgn");
            if (!ds)
                return;
            auto *st = addStmt<TfsDeleteStmt>(item, prog, list);
            st->Designator = buildDesignator(ds, prog);
            at(ds);
            if (st->Designator->Typ != fvtClass && st->Designator->Typ != fvtVariant)
                fail(fsmsg::SClassRequired());
        } else if (n == QLatin1String("program")) {
            registerProcs(item, prog);
            buildChildren(item, prog, list);
        } else {
            // Other elements (a grammar's extra markers) carry no statement.
        }
    }

    TfsCustomVariable *exceptionVar(const QString &name, TfsScript *prog)
    {
        if (TfsCustomVariable *v = prog->Find(name))
            return v;
        auto *v = new TfsVariable(name, fvtVariant, QStringLiteral("Variant"));
        m_script->Add(v);
        return v;
    }

    void buildAssign(TfsXMLItem *item, TfsScript *prog, TfsStatement *list)
    {
        TfsXMLItem *ds = nullptr;
        TfsXMLItem *ex = nullptr;
        QString mod;
        for (int i = 0; i < item->Count(); ++i) {
            TfsXMLItem *c = item->Items(i);
            if (named(c, "dsgn") && !ds)
                ds = c;
            else if (named(c, "expr") && !ex)
                ex = c;
            else if (named(c, "modificator"))
                mod = textOf(c);
        }
        if (!ds || !ex)
            return;
        std::unique_ptr<TfsDesignator> d(buildDesignator(ds, prog));
        at(ds);
        if (d->IsReadOnly)
            fail(fsmsg::SLeftCantAssigned());
        std::unique_ptr<TfsExpression> e(buildExpression(ex, prog));
        at(ex);
        checkAssign(d->Typ, d->TypeName, e->Typ, e->TypeName);
        auto *plain = dynamic_cast<TfsVariableDesignator *>(d.get());

        // v := v + e and friends run as the compound form with e alone.
        if (mod.isEmpty() && plain && e->Root) {
            TfsExpressionNode *r = e->Root;
            const TfsOperatorType op = r->Op();
            auto isV = [&](TfsExpressionNode *n) {
                auto *dn = dynamic_cast<TfsDesignatorNode *>(n);
                auto *vd = dn ? dynamic_cast<TfsVariableDesignator *>(dn->Designator) : nullptr;
                return vd && vd->Var == plain->Var;
            };
            if ((op == opPlus || op == opMinus || op == opMul || op == opDivFloat) && r->Left && r->Right) {
                TfsExpressionNode *rest = nullptr;
                if (isV(r->Left)) {
                    rest = r->Right;
                    r->Right = nullptr;
                } else if ((op == opPlus || op == opMul) && isV(r->Right) && plain->Var->Typ != fvtString
                           && plain->Var->Typ != fvtChar && plain->Var->Typ != fvtVariant) {
                    rest = r->Left;
                    r->Left = nullptr;
                }
                if (rest) {
                    auto *ne = new TfsExpression;
                    ne->Root = rest;
                    rest->Parent = nullptr;
                    ne->Typ = rest->Typ;
                    ne->TypeName = rest->TypeName;
                    ne->Source = e->Source;
                    e.reset(ne);
                    mod = op == opPlus ? QStringLiteral("+") : op == opMinus ? QStringLiteral("-")
                        : op == opMul ? QStringLiteral("*") : QStringLiteral("/");
                }
            }
        }
        TfsAssignmentStmt *st;
        if (mod == QLatin1String("+"))
            st = addStmt<TfsAssignPlusStmt>(item, prog, list);
        else if (mod == QLatin1String("-"))
            st = addStmt<TfsAssignMinusStmt>(item, prog, list);
        else if (mod == QLatin1String("*"))
            st = addStmt<TfsAssignMulStmt>(item, prog, list);
        else if (mod == QLatin1String("/"))
            st = addStmt<TfsAssignDivStmt>(item, prog, list);
        else
            st = addStmt<TfsAssignmentStmt>(item, prog, list);
        if (plain)
            st->Var = plain->Var;
        st->Designator = d.release();
        st->Expression = e.release();
        if (st->Expression->Root && st->Expression->Root->Priority() == 0)
            st->Operand = st->Expression->Root;
    }

    void buildCall(TfsXMLItem *item, TfsScript *prog, TfsStatement *list)
    {
        TfsXMLItem *ds = child(item, "dsgn");
        if (!ds)
            return;
        TfsXMLItem *mod = child(item, "modificator");
        std::unique_ptr<TfsDesignator> d(buildDesignator(ds, prog));
        if (mod) {
            at(ds);
            if (d->IsReadOnly)
                fail(fsmsg::SLeftCantAssigned());
        }
        d->NeedResult = false;
        auto *st = addStmt<TfsCallStmt>(item, prog, list);
        st->Designator = d.release();
        if (mod)
            st->Modificator = textOf(mod);
    }

    TfsCustomVariable *loopVariable(TfsXMLItem *id, TfsScript *prog)
    {
        at(id);
        const QString name = textOf(id);
        TfsCustomVariable *v = prog->Find(name);
        if (!v) {
            if (m_needDeclare)
                fail(fsmsg::SIdUndeclared() + quoted(name));
            v = new TfsVariable(name, fvtVariant, QStringLiteral("Variant"));
            m_script->Add(v);
        }
        const bool isVariable = dynamic_cast<TfsVariable *>(v) || dynamic_cast<TfsParamItem *>(v);
        if (!isVariable || v->IsReadOnly
            || !(v->Typ == fvtInt || v->Typ == fvtFloat || v->Typ == fvtVariant || v->Typ == fvtInt64))
            fail(fsmsg::SForError());
        return v;
    }

    void buildFor(TfsXMLItem *item, TfsScript *prog, TfsStatement *list)
    {
        auto *st = addStmt<TfsForStmt>(item, prog, list);
        int stage = 0;
        for (int i = 0; i < item->Count(); ++i) {
            TfsXMLItem *c = item->Items(i);
            if (named(c, "ident") && !st->Variable) {
                st->Variable = loopVariable(c, prog);
            } else if (named(c, "expr") && stage < 2) {
                TfsExpression *e = buildExpression(c, prog);
                (stage == 0 ? st->BeginValue : st->EndValue) = e;
                ++stage;
                checkAssign(st->Variable ? st->Variable->Typ : fvtVariant, st->Variable ? st->Variable->TypeName : QString(),
                            e->Typ, e->TypeName);
            } else if (named(c, "downto")) {
                st->Down = true;
            } else {
                buildItem(c, prog, st);
            }
        }
        if (!st->Variable || !st->BeginValue || !st->EndValue)
            fail(fsmsg::SForError());
    }

    void buildVbFor(TfsXMLItem *item, TfsScript *prog, TfsStatement *list)
    {
        auto *st = addStmt<TfsVbForStmt>(item, prog, list);
        int stage = 0;
        for (int i = 0; i < item->Count(); ++i) {
            TfsXMLItem *c = item->Items(i);
            if (named(c, "ident") && !st->Variable) {
                st->Variable = loopVariable(c, prog);
            } else if (named(c, "expr") && stage < 3) {
                TfsExpression *e = buildExpression(c, prog);
                (stage == 0 ? st->BeginValue : stage == 1 ? st->EndValue : st->Step) = e;
                ++stage;
            } else {
                buildItem(c, prog, st);
            }
        }
        if (!st->Variable || !st->BeginValue || !st->EndValue)
            fail(fsmsg::SForError());
    }

    void buildCppFor(TfsXMLItem *item, TfsScript *prog, TfsStatement *list)
    {
        auto *st = addStmt<TfsCppForStmt>(item, prog, list);
        int stage = 0; // 0 first list, 1 second list, 2 body
        for (int i = 0; i < item->Count(); ++i) {
            TfsXMLItem *c = item->Items(i);
            if (stage == 0 && named(c, "expr")) {
                st->Expression = buildExpression(c, prog);
                stage = 1;
            } else if (stage == 0) {
                buildItem(c, prog, st->FirstStmt.get());
            } else if (stage == 1) {
                buildItem(c, prog, st->SecondStmt.get());
                stage = 2;
            } else {
                buildItem(c, prog, st);
            }
        }
    }

    void buildWith(TfsXMLItem *item, TfsScript *prog, TfsStatement *list)
    {
        int pushed = 0;
        for (int i = 0; i < item->Count(); ++i) {
            TfsXMLItem *c = item->Items(i);
            if (!named(c, "dsgn")) {
                buildItem(c, prog, list);
                continue;
            }
            std::unique_ptr<TfsDesignator> d(buildDesignator(c, prog));
            at(c);
            if (d->Typ != fvtClass && d->Typ != fvtVariant)
                fail(fsmsg::SClassRequired());
            int n = 0;
            while (prog->FindLocal(QStringLiteral("_WithList_%1").arg(n)))
                ++n;
            auto *v = new TfsVariable(QStringLiteral("_WithList_%1").arg(n), d->Typ, d->TypeName);
            prog->Add(v);
            auto *st = new TfsWithStmt(prog, unitName, posOf(c));
            st->Designator = d.release();
            st->Variable = v;
            list->Add(st);
            m_script->AddCodeLine(unitName, posOf(c));
            m_with.push_back(v);
            ++pushed;
        }
        while (pushed-- > 0)
            m_with.pop_back();
    }

    // ----- type checks

    bool classDescends(const QString &s, const QString &t) const
    {
        // Every class descends from TObject, registered with that ancestor or not.
        if (s.compare(t, Qt::CaseInsensitive) == 0 || t.compare(QLatin1String("TObject"), Qt::CaseInsensitive) == 0)
            return true;
        TfsClassVariable *c = m_script->FindClass(s);
        for (int depth = 0; c && depth < 64; ++depth) {
            if (c->Name().compare(t, Qt::CaseInsensitive) == 0)
                return true;
            if (c->ClassRef && c->ClassRef->inheritsFrom(t))
                return true;
            if (c->Ancestor.isEmpty())
                break;
            TfsClassVariable *a = m_script->FindClass(c->Ancestor);
            c = a == c ? nullptr : a;
        }
        return false;
    }

    bool compatible(TfsVarType t, const QString &tn, TfsVarType s, const QString &sn, bool assignment) const
    {
        if (s == fvtVariant && t != fvtConstructor)
            return true;
        switch (t) {
        case fvtInt: case fvtInt64:
            if (s == fvtFloat)
                return !(assignment && t == fvtInt);
            return s == fvtInt || s == fvtEnum || s == fvtInt64;
        case fvtBool:
            return s == fvtBool;
        case fvtFloat:
            return s == fvtInt || s == fvtFloat || s == fvtInt64;
        case fvtChar: case fvtString:
            return s == fvtChar || s == fvtString;
        case fvtClass:
            return s == fvtClass && classDescends(sn, tn);
        case fvtArray:
            return s == fvtArray;
        case fvtVariant:
            return true;
        case fvtEnum:
            return s == fvtInt || s == fvtInt64 || (s == fvtEnum && sn.compare(tn, Qt::CaseInsensitive) == 0);
        case fvtConstructor:
            return false;
        }
        return false;
    }

    void checkAssign(TfsVarType t, const QString &tn, TfsVarType s, const QString &sn)
    {
        if (!compatible(t, tn, s, sn, true))
            fail(fsmsg::SIncompatibleTypes() + QStringLiteral(": ") + quoted(fsTypeToString(t, tn))
                 + QStringLiteral(", ") + quoted(fsTypeToString(s, sn)));
    }

    bool suits(TfsOperatorType op, TfsVarType l) const
    {
        switch (l) {
        case fvtBool:
            return op == opEq || op == opNonEq || op == opOr || op == opXor || op == opAnd || op == opNot;
        case fvtChar: case fvtString:
            return isComparison(op) || op == opPlus || op == opIn || op == opStrCat;
        case fvtClass: case fvtArray:
            return op == opEq || op == opNonEq || op == opIs;
        default:
            return true;
        }
    }

    void typeNode(TfsExpressionNode *node)
    {
        if (!node || node->Priority() == 0)
            return;
        typeNode(node->Left);
        typeNode(node->Right);
        const TfsOperatorType op = node->Op();
        if (op == opLeftBracket || op == opRightBracket || op == opNone) {
            node->Typ = node->Left ? node->Left->Typ : fvtVariant;
            node->TypeName = node->Left ? node->Left->TypeName : QString();
            return;
        }
        const TfsVarType l = node->Left ? node->Left->Typ : fvtVariant;
        const TfsVarType r = node->Right ? node->Right->Typ : fvtVariant;
        const QString ln = node->Left ? node->Left->TypeName : QString();
        const QString rn = node->Right ? node->Right->TypeName : QString();
        if (l == fvtBool && r == fvtBool && (op == opAnd || op == opOr))
            fsSetShortCircuit(node);
        if (!(op == opIs && l == fvtClass && r == fvtClass)) {
            bool ok = op == opStrCat || compatible(l, ln, r, rn, false);
            // Comparing objects of unrelated classes is still a comparison of references.
            if (!ok && l == fvtClass && r == fvtClass && (op == opEq || op == opNonEq))
                ok = true;
            if (op == opIs && r == fvtClass)
                ok = true;
            if (!ok || !suits(op, l)) {
                setErrorPos(node->Pos);
                fail(fsmsg::SIncompatibleTypes());
            }
        }
        TfsVarType t = l;
        QString tn = ln;
        if ((l == fvtInt && r == fvtFloat) || (l == fvtFloat && r == fvtInt64) || (l == fvtInt64 && r == fvtFloat))
            t = fvtFloat;
        if (op == opDivFloat && (l == fvtInt || l == fvtInt64) && (r == fvtInt || r == fvtInt64))
            t = fvtFloat;
        if (op == opStrCat)
            t = l == fvtVariant ? fvtVariant : fvtString;
        if (isComparison(op) || op == opIn || op == opIs) {
            t = fvtBool;
            tn.clear();
        }
        node->Typ = t;
        node->TypeName = tn;
    }

    // ----- expressions

    struct Tree {
        TfsExpressionNode *root = nullptr;
        TfsExpressionNode *cur = nullptr;
    };

    void addOperand(Tree &t, TfsExpressionNode *node)
    {
        TfsExpressionNode *c = t.cur;
        if (!c->Left)
            c->Left = node;
        else if (!c->Right)
            c->Right = node;
        else {
            delete node;
            fail(fsmsg::SIncompatibleTypes());
        }
        node->Parent = c;
        t.cur = node;
    }

    void addOperator(Tree &t, TfsExpressionNode *node)
    {
        if (!t.root->Left) {
            t.root->Left = node;
            node->Parent = t.root;
            t.cur = node;
            return;
        }
        const int prio = node->Priority();
        TfsExpressionNode *last = t.cur;
        TfsExpressionNode *n = t.cur->Op() == opLeftBracket ? t.cur : t.cur->Parent;
        if (t.cur->Op() == opLeftBracket) {
            // An operator right after "(": it takes the bracket's content as its left side.
            last = t.cur->Left;
            if (!last) {
                addOperand(t, node);
                return;
            }
        } else {
            while (n && n->Priority() <= prio) {
                last = n;
                n = n->Parent;
            }
        }
        TfsExpressionNode *p = last->Parent;
        if (p->Left == last)
            p->Left = node;
        else
            p->Right = node;
        node->Parent = p;
        node->Left = last;
        last->Parent = node;
        t.cur = node;
    }

    void closeBracket(Tree &t)
    {
        TfsExpressionNode *n = t.cur;
        while (n && n->Op() != opLeftBracket)
            n = n->Parent;
        if (!n || !n->Parent)
            return;
        TfsExpressionNode *child = n->Left;
        n->Left = nullptr;
        TfsExpressionNode *p = n->Parent;
        if (p->Left == n)
            p->Left = child;
        else
            p->Right = child;
        if (child)
            child->Parent = p;
        delete n;
        t.cur = child ? child : p;
    }

    void feed(Tree &t, TfsXMLItem *ex, TfsScript *prog)
    {
        const int count = ex->Count();
        for (int i = 0; i < count; ++i) {
            TfsXMLItem *c = ex->Items(i);
            at(c);
            if (named(c, "op")) {
                const TfsOperatorType op = operatorOf(textOf(c));
                if (op == opNone)
                    continue;
                if (op != opRightBracket && i == count - 1)
                    continue;
                if (op == opRightBracket) {
                    closeBracket(t);
                    continue;
                }
                TfsExpressionNode *node = fsMakeOperatorNode(op);
                node->Pos = posOf(c);
                if (op == opLeftBracket || op == opNot || op == opUnMinus)
                    addOperand(t, node);
                else
                    addOperator(t, node);
            } else if (named(c, "number") || named(c, "string")) {
                addOperand(t, new TfsOperandNode(literalValue(textOf(c))));
            } else if (named(c, "dsgn")) {
                addOperand(t, new TfsDesignatorNode(buildDesignator(c, prog)));
            } else if (named(c, "set")) {
                addOperand(t, new TfsSetNode(buildSet(c, prog)));
            } else if (named(c, "expr")) {
                feed(t, c, prog);
            } else if (named(c, "new")) {
                addOperand(t, new TfsDesignatorNode(buildNew(c, prog)));
            }
        }
    }

    QString sourceOf(TfsXMLItem *ex) const
    {
        if (!unitName.isEmpty())
            return QString();
        // "line:col", read in place; an entity (never written there) takes the long way.
        auto plain = [&](const QString &name) {
            QStringView pos = ex->RawProp(name);
            QString decoded;
            if (pos.contains(QLatin1Char('&'))) {
                decoded = ex->Prop(name);
                pos = decoded;
            }
            const qsizetype c1 = pos.indexOf(QLatin1Char(':'));
            const QStringView lineText = c1 < 0 ? pos : pos.left(c1);
            QStringView colText;
            if (c1 >= 0) {
                colText = pos.mid(c1 + 1);
                if (const qsizetype c2 = colText.indexOf(QLatin1Char(':')); c2 >= 0)
                    colText = colText.left(c2);
            }
            return m_parser.Parser()->GetPlainPosition(colText.toInt(), lineText.toInt());
        };
        static const QString kPos1 = QStringLiteral("pos1");
        const int a = plain(kPos);
        const int b = plain(kPos1);
        if (a < 1 || b < a)
            return QString();
        return m_text.mid(a - 1, b - a).trimmed();
    }

    TfsExpression *buildExpression(TfsXMLItem *ex, TfsScript *prog)
    {
        at(ex);
        auto e = std::make_unique<TfsExpression>();
        e->Source = sourceOf(ex);
        Tree t;
        std::unique_ptr<TfsExpressionNode> root(fsMakeOperatorNode(opNone));
        t.root = root.get();
        t.cur = t.root;
        feed(t, ex, prog);
        e->Root = root->Left;
        root->Left = nullptr;
        if (e->Root)
            e->Root->Parent = nullptr;
        // Unbalanced brackets (a damaged program) would leave bracket nodes in the tree.
        typeNode(e->Root);
        if (e->Root) {
            e->Typ = e->Root->Typ;
            e->TypeName = e->Root->TypeName;
        }
        return e.release();
    }

    TfsSetExpression *buildSet(TfsXMLItem *set, TfsScript *prog)
    {
        auto s = std::make_unique<TfsSetExpression>();
        for (int i = 0; i < set->Count(); ++i) {
            TfsXMLItem *c = set->Items(i);
            if (named(c, "expr"))
                s->Items.push_back(buildExpression(c, prog));
            else if (named(c, "range"))
                s->Items.push_back(nullptr);
        }
        return s.release();
    }

    // ----- designators

    struct Step {
        TfsXMLItem *node = nullptr;
        QString name;
        bool isIndex = false;
        QList<TfsXMLItem *> args;
    };

    struct State {
        TfsVarType typ = fvtVariant;
        QString typeName;
        TfsCustomVariable *ref = nullptr;
        bool hasValue = false; // a plain variable whose compile-time value is known
        bool readOnly = false;
        bool late = false;
    };

    std::vector<std::unique_ptr<TfsExpression>> buildArgs(const QList<TfsXMLItem *> &args, TfsScript *prog)
    {
        std::vector<std::unique_ptr<TfsExpression>> out;
        for (TfsXMLItem *a : args)
            out.emplace_back(buildExpression(a, prog));
        return out;
    }

    void checkArgs(TfsDesignatorItem *item, TfsCustomVariable *callee, TfsXMLItem *pos)
    {
        at(pos);
        const int n = int(item->Args.size());
        if (n < callee->RequiredCount())
            fail(fsmsg::SNotEnoughParams());
        if (n > callee->Count())
            fail(fsmsg::STooManyParams());
        for (int j = n; j < callee->Count(); ++j)
            item->Args.emplace_back(fsConstExpression(callee->Params(j)->DefValue));
        for (int j = 0; j < callee->Count(); ++j) {
            TfsParamItem *p = callee->Params(j);
            if (p->IsVarParam)
                item->HasVarParams = true;
            if (!callee->IsMacro && j < n)
                checkAssign(p->Typ, p->TypeName, item->Args[size_t(j)]->Typ, item->Args[size_t(j)]->TypeName);
        }
    }

    TfsDesignatorItem *pushItem(TfsDesignator *d, TfsCustomVariable *ref, TfsStepKind kind)
    {
        auto it = std::make_unique<TfsDesignatorItem>();
        it->Ref = ref;
        it->Kind = kind;
        d->Items.push_back(std::move(it));
        return d->Items.back().get();
    }

    // A member step (helper) with its arguments; consumes the following index step of an
    // indexed property.
    void memberStep(TfsDesignator *d, TfsCustomHelper *m, const QList<Step> &steps, int &i, State &st,
                    TfsScript *prog)
    {
        const Step &s = steps[i];
        auto *mh = dynamic_cast<TfsMethodHelper *>(m);
        TfsDesignatorItem *item = pushItem(d, m, TfsStepKind::Helper);
        QList<TfsXMLItem *> args = s.args;
        if (mh && mh->IndexMethod) {
            if (i + 1 >= steps.size() || !steps[i + 1].isIndex) {
                at(s.node);
                fail(fsmsg::SIndexRequired());
            }
            ++i;
            args = steps[i].args;
        }
        item->Args = buildArgs(args, prog);
        if (mh || m->Count())
            checkArgs(item, m, s.node);
        const TfsVarType prevTyp = st.typ;
        const QString prevName = st.typeName;
        st.typ = m->Typ;
        st.typeName = m->TypeName;
        if (m->Typ == fvtConstructor) {
            st.typ = fvtClass;
            st.typeName = prevTyp == fvtClass ? prevName : m->TypeName;
        }
        st.ref = m;
        st.hasValue = false;
        st.readOnly = mh ? (mh->IndexMethod ? mh->IsReadOnly : true) : m->IsReadOnly;
    }

    void symbolStep(TfsDesignator *d, TfsCustomVariable *sym, const QList<Step> &steps, int &i, State &st,
                    TfsScript *prog)
    {
        const Step &s = steps[i];
        if (auto *proc = dynamic_cast<TfsProcVariable *>(sym)) {
            TfsDesignatorItem *item = pushItem(d, proc, TfsStepKind::Proc);
            item->Args = buildArgs(s.args, prog);
            checkArgs(item, proc, s.node);
            st.typ = proc->IsFunc ? proc->Typ : fvtVariant;
            st.typeName = proc->IsFunc ? proc->TypeName : QString();
            st.ref = proc;
            st.hasValue = false;
            st.readOnly = true;
            return;
        }
        if (auto *h = dynamic_cast<TfsCustomHelper *>(sym)) {
            memberStep(d, h, steps, i, st, prog);
            return;
        }
        if (auto *cls = dynamic_cast<TfsClassVariable *>(sym)) {
            if (s.args.size() == 1) {
                TfsDesignatorItem *item = pushItem(d, cls, TfsStepKind::Cast);
                item->Args = buildArgs(s.args, prog);
            } else {
                pushItem(d, cls, TfsStepKind::Variable);
            }
            st.typ = fvtClass;
            st.typeName = cls->Name();
            st.ref = cls;
            st.hasValue = false;
            st.readOnly = true;
            return;
        }
        if (dynamic_cast<TfsTypeVariable *>(sym) && s.args.size() == 1) {
            TfsDesignatorItem *item = pushItem(d, sym, TfsStepKind::Cast);
            item->Args = buildArgs(s.args, prog);
            st.typ = sym->Typ;
            st.typeName = sym->TypeName;
            st.ref = sym;
            st.hasValue = false;
            st.readOnly = true;
            return;
        }
        pushItem(d, sym, TfsStepKind::Variable);
        st.typ = sym->Typ;
        st.typeName = sym->TypeName;
        st.ref = sym;
        st.hasValue = !dynamic_cast<TfsTypeVariable *>(sym);
        st.readOnly = sym->IsReadOnly;
    }

    void lateStep(TfsDesignator *d, const Step &s, TfsScript *prog, State &st)
    {
        TfsDesignatorItem *item = pushItem(d, nullptr, s.isIndex ? TfsStepKind::LateIndex : TfsStepKind::Late);
        item->Name = s.name;
        item->Args = buildArgs(s.args, prog);
        for (auto &a : item->Args)
            if (a->IsWritable())
                item->HasVarParams = true;
        st.typ = fvtVariant;
        st.typeName.clear();
        st.ref = nullptr;
        st.hasValue = false;
        st.readOnly = false;
        st.late = true;
    }

    TfsClassVariable *classOf(const QString &typeName) const { return m_script->FindClass(typeName); }

    TfsMethodHelper *defaultProperty(TfsClassVariable *cls) const
    {
        for (int depth = 0; cls && depth < 64; ++depth) {
            if (cls->DefProperty)
                return cls->DefProperty;
            if (cls->Ancestor.isEmpty())
                break;
            TfsClassVariable *a = m_script->FindClass(cls->Ancestor);
            cls = a == cls ? nullptr : a;
        }
        return nullptr;
    }

    void indexStep(TfsDesignator *d, const QList<Step> &steps, int i, State &st, TfsScript *prog)
    {
        const Step &s = steps[i];
        at(s.node);
        TfsVarType typ = st.typ;
        QString typeName = st.typeName;
        if (typ == fvtVariant) {
            const Variant v = st.hasValue && st.ref ? st.ref->RawValue() : Variant::null();
            if (v.isString())
                typ = fvtString;
            else if (v.isArray())
                typ = fvtArray;
            else if (v.isObject() && v.toObject()) {
                TfsClassVariable *c = m_script->FindClassOf(v.toObject());
                typ = fvtClass;
                typeName = c ? c->Name() : QString();
            } else {
                lateStep(d, s, prog, st);
                return;
            }
        }
        switch (typ) {
        case fvtString: {
            if (s.args.size() != 1)
                fail(fsmsg::SStringError());
            auto *h = new TfsStringHelper;
            m_script->KeepItem(h);
            TfsDesignatorItem *item = pushItem(d, h, TfsStepKind::Helper);
            item->Args = buildArgs(s.args, prog);
            st.typ = fvtChar;
            st.typeName = QStringLiteral("Char");
            st.readOnly = st.readOnly || !st.hasValue;
            st.ref = h;
            st.hasValue = false;
            return;
        }
        case fvtArray: {
            TfsCustomVariable *helper = st.ref && dynamic_cast<TfsArrayHelper *>(st.ref->RefItem) ? st.ref->RefItem : nullptr;
            if (!helper) {
                helper = new TfsArrayHelper(QStringLiteral("__ArrayHelper"), int(s.args.size()));
                m_script->KeepItem(helper);
            }
            TfsDesignatorItem *item = pushItem(d, helper, TfsStepKind::Helper);
            item->Args = buildArgs(s.args, prog);
            st.typ = fvtVariant;
            st.typeName = QStringLiteral("Variant");
            st.readOnly = st.readOnly || !st.hasValue;
            st.ref = helper;
            st.hasValue = false;
            return;
        }
        case fvtClass: {
            TfsClassVariable *cls = classOf(typeName);
            TfsMethodHelper *def = defaultProperty(cls);
            if (!def)
                fail(fsmsg::SClassError().replace(QStringLiteral("%s"), typeName));
            TfsDesignatorItem *item = pushItem(d, def, TfsStepKind::Helper);
            item->Args = buildArgs(s.args, prog);
            checkArgs(item, def, s.node);
            st.typ = def->Typ;
            st.typeName = def->TypeName;
            st.readOnly = def->IsReadOnly;
            st.ref = def;
            st.hasValue = false;
            return;
        }
        default:
            fail(fsmsg::SArrayRequired());
        }
    }

    void nameStep(TfsDesignator *d, const QList<Step> &steps, int &i, State &st, TfsScript *prog)
    {
        const Step &s = steps[i];
        at(s.node);
        TfsVarType typ = st.typ;
        QString typeName = st.typeName;
        if (typ == fvtVariant) {
            const Variant v = st.hasValue && st.ref ? st.ref->RawValue() : Variant::null();
            if (v.isString()) {
                fail(fsmsg::SStringError());
            } else if (v.isArray()) {
                fail(fsmsg::SIndexRequired());
            } else if (v.isObject() && v.toObject()) {
                TfsClassVariable *c = m_script->FindClassOf(v.toObject());
                typ = fvtClass;
                typeName = c ? c->Name() : QString();
            } else {
                lateStep(d, s, prog, st);
                return;
            }
        }
        if (typ == fvtString || typ == fvtChar)
            fail(fsmsg::SStringError());
        if (typ == fvtClass) {
            TfsClassVariable *cls = classOf(typeName);
            TfsCustomHelper *m = cls ? cls->Find(s.name) : nullptr;
            if (m) {
                memberStep(d, m, steps, i, st, prog);
                return;
            }
            if (prog->UseClassLateBinding && !m_script->IsRunning) {
                lateStep(d, s, prog, st);
                return;
            }
        }
        fail(fsmsg::SIdUndeclared() + quoted(s.name));
    }

    TfsDesignator *finish(std::unique_ptr<TfsDesignator> d, const State &st, TfsScript *prog)
    {
        d->Typ = st.typ;
        d->TypeName = st.typeName;
        d->IsReadOnly = st.readOnly;
        // Fast forms.
        if (d->Items.size() == 1 && d->Items[0]->Kind == TfsStepKind::Variable && d->Items[0]->Args.empty()
            && !dynamic_cast<TfsClassVariable *>(d->Items[0]->Ref)) {
            auto *f = new TfsVariableDesignator(prog);
            f->Var = d->Items[0]->Ref;
            f->Items = std::move(d->Items);
            f->Typ = d->Typ;
            f->TypeName = d->TypeName;
            f->IsReadOnly = d->IsReadOnly;
            return f;
        }
        if (d->Items.size() == 1 && d->Items[0]->Kind == TfsStepKind::Proc) {
            auto *f = new TfsCallDesignator(prog);
            f->Items = std::move(d->Items);
            f->Typ = d->Typ;
            f->TypeName = d->TypeName;
            f->IsReadOnly = d->IsReadOnly;
            return f;
        }
        if (d->Items.size() == 2 && d->Items[0]->Kind == TfsStepKind::Variable && d->Items[1]->Kind == TfsStepKind::Helper) {
            TfsCustomVariable *v = d->Items[0]->Ref;
            TfsCustomVariable *h = d->Items[1]->Ref;
            if (dynamic_cast<TfsStringHelper *>(h) && dynamic_cast<TfsStringVariable *>(v) && d->Items[1]->Args.size() == 1) {
                auto *f = new TfsStringDesignator(prog);
                f->Var = v;
                f->Index = d->Items[1]->Args[0].get();
                f->Items = std::move(d->Items);
                f->Typ = d->Typ;
                f->TypeName = d->TypeName;
                f->IsReadOnly = d->IsReadOnly;
                return f;
            }
            if (dynamic_cast<TfsArrayHelper *>(h) && v->RefItem == h && !v->OnGetVarValue) {
                auto *f = new TfsArrayDesignator(prog);
                f->Var = v;
                f->Items = std::move(d->Items);
                f->Typ = d->Typ;
                f->TypeName = d->TypeName;
                f->IsReadOnly = d->IsReadOnly;
                return f;
            }
        }
        return d.release();
    }

    QList<Step> stepsOf(TfsXMLItem *ds)
    {
        QList<Step> steps;
        for (int i = 0; i < ds->Count(); ++i) {
            TfsXMLItem *c = ds->Items(i);
            if (named(c, "node")) {
                Step s;
                s.node = c;
                s.name = textOf(c);
                s.isIndex = s.name == QLatin1String("[");
                steps << s;
            } else if (named(c, "expr") && !steps.isEmpty()) {
                steps.last().args << c;
            }
        }
        return steps;
    }

    TfsDesignator *buildDesignator(TfsXMLItem *ds, TfsScript *prog)
    {
        at(ds);
        if (ds->Count() && named(ds->Items(0), "addr")) {
            const QList<Step> steps = stepsOf(ds);
            if (steps.size() != 1 || !steps[0].args.isEmpty() || steps[0].isIndex)
                fail(fsmsg::SVarRequired());
            auto d = std::make_unique<TfsDesignator>(prog);
            TfsDesignatorItem *item = pushItem(d.get(), nullptr, TfsStepKind::Constant);
            item->Constant = Variant(steps[0].name);
            d->Typ = fvtString;
            d->TypeName = QStringLiteral("String");
            d->IsReadOnly = true;
            return d.release();
        }
        const QList<Step> steps = stepsOf(ds);
        auto d = std::make_unique<TfsDesignator>(prog);
        State st;
        if (steps.isEmpty()) {
            pushItem(d.get(), nullptr, TfsStepKind::Constant)->Constant = Variant::null();
            return finish(std::move(d), st, prog);
        }
        int i = 0;
        const Step &first = steps[0];
        at(first.node);
        bool handled = false;
        for (auto w = m_with.rbegin(); w != m_with.rend() && !handled; ++w) {
            TfsCustomVariable *wv = *w;
            if (wv->Typ == fvtClass) {
                TfsClassVariable *cls = classOf(wv->TypeName);
                TfsCustomHelper *m = cls ? cls->Find(first.name) : nullptr;
                if (m) {
                    pushItem(d.get(), wv, TfsStepKind::Variable);
                    st.typ = fvtClass;
                    st.typeName = wv->TypeName;
                    st.ref = wv;
                    memberStep(d.get(), m, steps, i, st, prog);
                    handled = true;
                }
            } else if (wv->Typ == fvtVariant) {
                if (!prog->Find(first.name)) {
                    pushItem(d.get(), wv, TfsStepKind::Variable);
                    lateStep(d.get(), first, prog, st);
                    handled = true;
                }
                break;
            }
        }
        if (!handled) {
            TfsCustomVariable *sym = prog->Find(first.name);
            if (!sym) {
                if (m_needDeclare)
                    fail(fsmsg::SIdUndeclared() + quoted(first.name));
                sym = new TfsVariable(first.name, fvtVariant, QStringLiteral("Variant"));
                m_script->Add(sym);
            }
            symbolStep(d.get(), sym, steps, i, st, prog);
        }
        for (++i; i < steps.size(); ++i) {
            if (st.late) {
                lateStep(d.get(), steps[i], prog, st);
                continue;
            }
            if (steps[i].isIndex)
                indexStep(d.get(), steps, i, st, prog);
            else
                nameStep(d.get(), steps, i, st, prog);
        }
        return finish(std::move(d), st, prog);
    }

    TfsDesignator *buildNew(TfsXMLItem *item, TfsScript *prog)
    {
        at(item);
        TfsXMLItem *ds = child(item, "dsgn");
        if (!ds)
            fail(fsmsg::SClassRequired());
        const QList<Step> steps = stepsOf(ds);
        if (steps.isEmpty())
            fail(fsmsg::SClassRequired());
        at(steps[0].node);
        TfsClassVariable *cls = dynamic_cast<TfsClassVariable *>(prog->Find(steps[0].name));
        if (!cls)
            fail(fsmsg::SClassRequired());
        auto *ctor = dynamic_cast<TfsMethodHelper *>(cls->Find(QStringLiteral("Create")));
        if (!ctor)
            fail(fsmsg::SIdUndeclared() + quoted(QStringLiteral("Create")));
        auto d = std::make_unique<TfsDesignator>(prog);
        pushItem(d.get(), cls, TfsStepKind::Variable);
        TfsDesignatorItem *it = pushItem(d.get(), ctor, TfsStepKind::Helper);
        it->Args = buildArgs(steps[0].args, prog);
        checkArgs(it, ctor, steps[0].node);
        State st;
        st.typ = fvtClass;
        st.typeName = cls->Name();
        st.readOnly = true;
        return finish(std::move(d), st, prog);
    }

    TfsScript *m_script;
    TfsILParser &m_parser;
    TfsXMLItem *m_root;
    // Procedures registered from their declarations; kept here, not on the items, as the
    // intermediate program may be shared by other compilations.
    QHash<const TfsXMLItem *, TfsProcVariable *> m_procs;
    TfsXMLItem *m_ilTypes = nullptr;
    TfsXMLItem *m_grammarTypes = nullptr;
    bool m_needDeclare = true;
    QString m_text;
    std::vector<TfsCustomVariable *> m_with;
    std::vector<std::unique_ptr<TfsXMLDocument>> m_unitDocs;
};

} // namespace fsinternal

bool TfsScript::parseIL(TfsILParser &parser, const TfsXMLItem *program)
{
    fsinternal::Builder b(this, parser, program);
    try {
        b.build();
    } catch (const Error &e) {
        ErrorMsg = e.message();
        ErrorPos = b.errorPos();
        ErrorUnit = b.unitName;
        return false;
    } catch (const std::exception &e) {
        // A host callback run for a constant may raise anything.
        ErrorMsg = QString::fromUtf8(e.what());
        ErrorPos = b.errorPos();
        ErrorUnit = b.unitName;
        return false;
    }
    return true;
}

} // namespace tw
