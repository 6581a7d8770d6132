#pragma once

#include <QString>
#include <memory>

namespace tw {

class TfsILParser;
class TfsXMLItem;

// Intermediate programs already made from a source text, reused by later compilations of
// the same text: a report prepared once per package compiles the same script thousands of
// times. Only texts without units are kept (a unit file may change between compilations).
// Process-wide and thread-safe; bounded.
namespace ilcache {

// The intermediate program MakeILScript made from this text before, shared and never
// changed, with the parser's language and text set as MakeILScript left them; nullptr when
// it was not made before.
std::shared_ptr<const TfsXMLItem> reuse(TfsILParser &parser, const QString &language, bool extendedCharset,
                                        const QString &text);
// Keeps what a successful MakeILScript left in the parser for this text.
void keep(TfsILParser &parser, const QString &language, bool extendedCharset, const QString &text);
// Forgets everything (tests, or after a grammar was replaced).
void clear();

} // namespace ilcache
} // namespace tw
