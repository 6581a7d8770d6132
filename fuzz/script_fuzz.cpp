// Any text as a script of one language (TARNWELL_FUZZ_LANGUAGE): it compiles against the
// function library or fails with an error and a position, nothing else. Units named by
// the text are the text itself, so no file is read.
#include "base/codepage.h"
#include "script/classregistry.h"
#include "script/interpreter.h"

#include <QRegularExpression>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace tw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool registered = (fsRegisterClassesRTTI(), true);
    (void)registered;
    const QString source = codepage::decode(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    // Never destroyed: the class registries it refers to go at exit in no given order.
    static TfsScript &script = *new TfsScript;
    static const char compiled_by = 0; // what the compile adds goes again before the next one
    script.AddRTTI();
    script.ClearItems(&compiled_by);
    script.AddedBy = &compiled_by;
    script.ErrorMsg.clear();
    script.SyntaxType = QStringLiteral(TARNWELL_FUZZ_LANGUAGE);
    script.OnGetUnit = [&source](ScriptCompileTarget *, const QString &, QString &text) { text = source; };
    // Lines as the script tool splits them: every line keeps a line end.
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    script.Lines = source.split(breaks);
    script.Lines.append(QString());
    bool compiled = false;
    try {
        compiled = script.Compile();
    } catch (const Error &e) {
        script.ErrorMsg = e.message();
    }
    script.AddedBy = nullptr;
    if (!compiled && script.ErrorMsg.isEmpty())
        abort(); // a failure must say why
    return 0;
}
