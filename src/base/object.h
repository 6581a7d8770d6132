#pragma once

namespace tw {

struct ClassInfo;
class Component;

// Root of every object a Variant can reference and of every class with published
// properties. The property metadata (metadata.h) hangs off classInfo().
class Object {
public:
    virtual ~Object() = default;
    // Descriptor of the object's dynamic class; nullptr for objects without metadata.
    virtual const ClassInfo *classInfo() const { return nullptr; }
    // The object as a report component, or nullptr: cheaper than a dynamic_cast on the
    // serializer's hot paths.
    virtual Component *asComponent() { return nullptr; }
    const Component *asComponent() const { return const_cast<Object *>(this)->asComponent(); }
};

} // namespace tw
