#pragma once

#include <QString>

namespace tw {

class TfrxComponent;
class TfrxPictureCache;
class TfrxXMLSerializer;
struct FormatSettings;

// Difference texts of prepared objects: the attributes in which an object differs from
// its source object, each as ` name="value"`. Floats use the given regional settings.

// Geometry, visibility, font, ParentFont and Tag; bands always carry their top.
QString frxBaseDiff(TfrxComponent *obj, TfrxComponent *source, const FormatSettings &fs);
// The class's own text (views, shapes, memos, pictures, group headers, else the base
// text). A memo passes its LastParaBreak on to FirstParaBreak; a picture whose graphic
// changed is stored in the cache first.
QString frxDiff(TfrxComponent *obj, TfrxComponent *source, TfrxPictureCache *cache, const FormatSettings &fs);
// The full serialized attributes (no source: nothing else; with one: a space and the base
// text follow). A null band without source also gets its position.
QString frxAllDiff(TfrxComponent *obj, TfrxComponent *source, TfrxXMLSerializer &serializer,
                   const FormatSettings &fs);

} // namespace tw
