// Dialog state objects live on the C runtime's heap. They are made with
// malloc and constructed in place, so a failed allocation is a plain null and
// never passes through the C++ runtime's exception machinery, which would keep
// memory of its own for the rest of the process.
#pragma once

#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

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

// An Object made from arguments, or null when no memory is left; then the
// arguments are left as they were.
template <class Object, class... Arguments>
HeapObject<Object> MakeHeapObject(Arguments&&... arguments)
{
    void* memory = std::malloc(sizeof(Object));
    if (memory == nullptr) {
        return HeapObject<Object>();
    }
    if constexpr (sizeof...(Arguments) == 0) {
        // Default-initialised, as its members say: no zero fill first.
        return HeapObject<Object>(new (memory) Object);
    } else {
        return HeapObject<Object>(new (memory) Object(std::forward<Arguments>(arguments)...));
    }
}
