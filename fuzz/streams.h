#pragma once
// Loading fuzz bytes from a stream, whole or partially.
#include <QBuffer>

#include <memory>

namespace tw::fuzz {

// Calls load(stream, partial) on a stream over the bytes; false when it raised E. A partial
// load reads the stream again later and so takes it over, loaded or not.
template <class E, class Load>
bool loadBytes(const QByteArray &bytes, bool partial, Load load)
{
    auto *in = new QBuffer;
    in->setData(bytes);
    in->open(QIODevice::ReadOnly);
    const std::unique_ptr<QBuffer> owned(partial ? nullptr : in);
    try {
        load(in, partial);
    } catch (const E &) {
        return false;
    }
    return true;
}

} // namespace tw::fuzz
