#pragma once

#include "base/error.h"
#include "script/interpreter.h"

namespace tw {

// Shared by the modules that give report classes their script members.

// The instance a member is called on, as T; the script error for nil or another class.
template <class T>
T *selfOf(Object *inst)
{
    if (!inst)
        throw Error(QStringLiteral("Access violation: the object is nil"));
    T *t = dynamic_cast<T *>(inst);
    if (!t)
        throw Error(QStringLiteral("Invalid class typecast"));
    return t;
}

// The script's class for ci, made here or by an earlier registration (the report module
// adds every component class first); nullptr when this module's members are there
// already (marker: a member only this module adds; none to fill in any case).
inline TfsClassVariable *classToFill(TfsScript *script, const ClassInfo &ci, const QString &ancestor, const char *marker)
{
    TfsClassVariable *c = script->AddClass(&ci, ancestor);
    if (!c)
        c = script->FindClass(ci.name);
    if (!c || (marker && c->Find(QString::fromLatin1(marker))))
        return nullptr;
    return c;
}

// Locate's options: a set arrives as its bit mask or as the array of its elements.
inline int locateOptions(const QVector<Variant> &params, int index)
{
    int options = 0;
    if (params.size() > index) {
        const Variant &v = params[index];
        if (v.isArray()) {
            for (const Variant &e : v.elements())
                options |= e.isOrdinal() ? e.toInt() : 0;
        } else if (v.isOrdinal()) {
            options = v.toInt();
        }
    }
    return options;
}

} // namespace tw
