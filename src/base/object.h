#pragma once

namespace tw {

struct ClassInfo;

// Root of every object a Variant can reference and of every class with published
// properties. The property metadata (metadata.h) hangs off classInfo().
class Object {
public:
    virtual ~Object() = default;
    // Descriptor of the object's dynamic class; nullptr for objects without metadata.
    virtual const ClassInfo *classInfo() const { return nullptr; }
};

} // namespace tw
