#pragma once

#include <QString>

namespace tw {

class TfsILParser;

// Intermediate programs already made from a source text, reused by later compilations of
// the same text: a report prepared once per package compiles the same script thousands of
// times. Only texts without units are kept (a unit file may change between compilations).
// Process-wide and thread-safe; bounded.
namespace ilcache {

// Fills the parser (language, text, intermediate program) as MakeILScript would have for
// this text, when it was made before; false when it was not.
bool reuse(TfsILParser &parser, const QString &language, bool extendedCharset, const QString &text);
// Keeps what a successful MakeILScript left in the parser for this text.
void keep(TfsILParser &parser, const QString &language, bool extendedCharset, const QString &text);
// Forgets everything (tests, or after a grammar was replaced).
void clear();

} // namespace ilcache
} // namespace tw
