#pragma once
// The host's side of the component interface: loads a plug-in library,
// finds its entries and makes the calls a host makes.
#include <memory>
#include <string>

#include "platform/audiounit/AudioUnit.h"
#include "platform/corefoundation/PropertyDict.h"

namespace platform::au {

class Component {
public:
    // Null, with a reason, when the library cannot be loaded or lacks the
    // component entry.
    static std::unique_ptr<Component> load(const std::string& libraryPath, std::string* error = nullptr);
    ~Component();
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    EntryProc entry() const { return mEntry; }
    ViewEntryProc viewEntry() const { return mViewEntry; }  // may be null
    const std::string& path() const { return mPath; }

private:
    Component() = default;
    void* mHandle = nullptr;
    EntryProc mEntry = nullptr;
    ViewEntryProc mViewEntry = nullptr;
    std::string mPath;
};

// One plug-in instance. Closed by close() or by the destructor.
class Instance {
public:
    explicit Instance(EntryProc entry) : mEntry(entry) {}
    ~Instance() { close(); }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    OSStatus open();
    OSStatus close();
    bool isOpen() const { return mHandle != nullptr; }
    void* handle() const { return mHandle; }

    OSStatus initialize() { return simple(kSelInitialize); }
    OSStatus uninitialize() { return simple(kSelUninitialize); }
    OSStatus reset() { return simple(kSelReset); }

    OSStatus getPropertyInfo(uint32_t id, uint32_t scope, uint32_t element, uint32_t* size, bool* writable);
    OSStatus getProperty(uint32_t id, uint32_t scope, uint32_t element, void* data, uint32_t* size);
    OSStatus setProperty(uint32_t id, uint32_t scope, uint32_t element, const void* data, uint32_t size);
    template <class T>
    OSStatus get(uint32_t id, T* out, uint32_t element = 0) {
        uint32_t size = sizeof(T);
        return getProperty(id, kScopeGlobal, element, out, &size);
    }
    template <class T>
    OSStatus set(uint32_t id, const T& value, uint32_t element = 0) {
        return setProperty(id, kScopeGlobal, element, &value, sizeof(T));
    }

    // The saved state, through kPropClassInfo.
    OSStatus getState(cf::PropertyDict* state);
    OSStatus setState(const cf::PropertyDict& state);

    OSStatus getParameter(int32_t id, float* value);
    OSStatus setParameter(int32_t id, float value);

    OSStatus render(uint32_t nFrames, uint32_t nInputs, float** inputs, uint32_t nOutputs, float** outputs);

    OSStatus addParameterListener(ParameterListenerProc proc, void* user) {
        return listener(kSelAddParameterListener, proc, nullptr, user, 0);
    }
    OSStatus removeParameterListener(ParameterListenerProc proc, void* user) {
        return listener(kSelRemoveParameterListener, proc, nullptr, user, 0);
    }
    OSStatus addPropertyListener(PropertyListenerProc proc, void* user, uint32_t id) {
        return listener(kSelAddPropertyListener, nullptr, proc, user, id);
    }
    OSStatus removePropertyListener(PropertyListenerProc proc, void* user, uint32_t id) {
        return listener(kSelRemovePropertyListener, nullptr, proc, user, id);
    }

private:
    AUCall call(int32_t selector) const;
    OSStatus simple(int32_t selector);
    OSStatus listener(int32_t selector, ParameterListenerProc param, PropertyListenerProc prop, void* user,
                      uint32_t id);

    EntryProc mEntry;
    void* mHandle = nullptr;
};

}  // namespace platform::au
