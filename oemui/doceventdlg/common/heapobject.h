// Dialog state objects live on the C runtime's heap. They are made with
// malloc and constructed in place, so a failed allocation is a plain null and
// never passes through the C++ runtime's exception machinery, which would keep
// memory of its own for the rest of the process.
#pragma once

#include <cstdlib>
#include <memory>
#include <new>

template <class Object>
struct HeapObjectDelete {
    void operator()(Object* object) const
    {
        object->~Object();
        std::free(object);
    }
};

template <class Object>
using HeapObject = std::unique_ptr<Object, HeapObjectDelete<Object>>;

// A default-constructed Object, or null when no memory is left.
template <class Object>
HeapObject<Object> MakeHeapObject()
{
    void* memory = std::malloc(sizeof(Object));
    return HeapObject<Object>(memory != nullptr ? new (memory) Object : nullptr);
}
