#include "report/engine/expressioncache.h"

#include "base/sametext.h"
#include "report/xml/resources.h"
#include "script/interpreter.h"

namespace tw {

TfrxExpressionCache::TfrxExpressionCache(TfsScript *mainScript)
    : m_mainScript(mainScript), m_script(std::make_unique<TfsScript>())
{
    m_script->ExtendedCharset = true;
}

TfrxExpressionCache::~TfrxExpressionCache() = default;

void TfrxExpressionCache::SetScriptLanguage(const QString &language)
{
    m_script->SyntaxType = language;
}

void TfrxExpressionCache::Clear()
{
    m_functions.clear();
    m_script->Clear();
}

QString TfrxExpressionCache::key(const QString &expression) const
{
    return CaseSensitive ? expression : upperText(expression);
}

QString TfrxExpressionCache::functionText(const QString &name, const QString &expression) const
{
    const QString lang = m_script->SyntaxType.toLower();
    if (lang == QLatin1String("r++ivezud"))
        return QStringLiteral("Variant ") + name + QStringLiteral("() { return ") + expression + QStringLiteral("; } {}");
    if (lang == QLatin1String("vozurovuzur"))
        return QStringLiteral("function ") + name + QStringLiteral("\r\nreturn ") + expression
            + QStringLiteral("\r\nend function");
    if (lang == QLatin1String("jscript"))
        return QStringLiteral("function ") + name + QStringLiteral("() { return ") + expression + QStringLiteral("; }");
    return QStringLiteral("function ") + name + QStringLiteral(": Variant; begin Result := ") + expression
        + QStringLiteral(" end; begin end.");
}

Variant TfrxExpressionCache::Calc(const QString &expression, QString &errorMsg, TfsScript *script)
{
    errorMsg.clear();
    TfsScript *parent = script ? script : m_mainScript;
    // A macro called from one of our own functions passes that function's scope: keep the
    // parent we have rather than making the cache its own ancestor.
    for (TfsScript *p = parent; p; p = p->Parent)
        if (p == m_script.get()) {
            parent = m_script->Parent ? m_script->Parent : m_mainScript;
            break;
        }
    m_script->Parent = parent;

    const QString k = key(expression);
    TfsProcVariable *fn = m_functions.value(k);
    if (!fn) {
        const QString name = QStringLiteral("fr3f") + QString::number(m_functions.size());
        m_script->Lines = functionText(name, expression).split(QStringLiteral("\r\n"));
        const bool ok = m_script->Compile();
        fn = dynamic_cast<TfsProcVariable *>(m_script->FindLocal(name));
        if (!ok || !fn) {
            // The name is taken again by the next expression: drop what was registered.
            if (TfsCustomVariable *partial = m_script->FindLocal(name)) {
                m_script->Remove(partial);
                delete partial;
            }
            errorMsg = frxResources().Get(QStringLiteral("clExprError")) + QStringLiteral(" '") + expression
                + QStringLiteral("': ") + m_script->ErrorMsg;
            return Variant::null();
        }
        m_functions.insert(k, fn);
    }

    // Procedures called from an expression must not replace the running-procedure record
    // of the report's script.
    struct MainProgOff {
        TfsScript *s;
        bool saved;
        ~MainProgOff() { s->MainProg = saved; }
    } guard{parent, parent->MainProg};
    parent->MainProg = false;
    try {
        return m_script->CallFunction2(fn, Variant());
    } catch (const Error &e) {
        errorMsg = e.message();
    } catch (const std::exception &e) {
        errorMsg = QString::fromUtf8(e.what());
    }
    return Variant::null();
}

} // namespace tw
