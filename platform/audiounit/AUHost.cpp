#include "platform/audiounit/AUHost.h"

#include <dlfcn.h>

namespace platform::au {

std::unique_ptr<Component> Component::load(const std::string& libraryPath, std::string* error) {
    void* h = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        if (error) *error = dlerror();
        return nullptr;
    }
    auto entry = reinterpret_cast<EntryProc>(dlsym(h, kEntryName));
    if (!entry) {
        if (error) *error = libraryPath + " has no " + kEntryName;
        dlclose(h);
        return nullptr;
    }
    std::unique_ptr<Component> c(new Component);
    c->mHandle = h;
    c->mEntry = entry;
    c->mViewEntry = reinterpret_cast<ViewEntryProc>(dlsym(h, kViewEntryName));
    c->mPath = libraryPath;
    return c;
}

Component::~Component() {
    if (mHandle) dlclose(mHandle);
}

AUCall Instance::call(int32_t selector) const {
    AUCall c{};
    c.selector = selector;
    c.instance = mHandle;
    return c;
}

OSStatus Instance::simple(int32_t selector) {
    if (!mHandle) return kErrParam;
    AUCall c = call(selector);
    return mEntry(&c);
}

OSStatus Instance::open() {
    if (mHandle) return kNoErr;
    AUCall c = call(kSelOpen);
    OSStatus s = mEntry(&c);
    if (s == kNoErr) mHandle = c.instance;
    return s;
}

OSStatus Instance::close() {
    if (!mHandle) return kNoErr;
    OSStatus s = simple(kSelClose);
    mHandle = nullptr;
    return s;
}

OSStatus Instance::getPropertyInfo(uint32_t id, uint32_t scope, uint32_t element, uint32_t* size, bool* writable) {
    if (!mHandle) return kErrParam;
    AUCall c = call(kSelGetPropertyInfo);
    c.propertyID = id;
    c.scope = scope;
    c.element = element;
    OSStatus s = mEntry(&c);
    if (size) *size = c.dataSize;
    if (writable) *writable = c.writable;
    return s;
}

OSStatus Instance::getProperty(uint32_t id, uint32_t scope, uint32_t element, void* data, uint32_t* size) {
    if (!mHandle || !size) return kErrParam;
    AUCall c = call(kSelGetProperty);
    c.propertyID = id;
    c.scope = scope;
    c.element = element;
    c.data = data;
    c.dataSize = *size;
    OSStatus s = mEntry(&c);
    *size = c.dataSize;
    return s;
}

OSStatus Instance::setProperty(uint32_t id, uint32_t scope, uint32_t element, const void* data, uint32_t size) {
    if (!mHandle) return kErrParam;
    AUCall c = call(kSelSetProperty);
    c.propertyID = id;
    c.scope = scope;
    c.element = element;
    c.data = const_cast<void*>(data);
    c.dataSize = size;
    return mEntry(&c);
}

OSStatus Instance::getState(cf::PropertyDict* state) { return get(kPropClassInfo, state); }

OSStatus Instance::setState(const cf::PropertyDict& state) { return set(kPropClassInfo, state); }

OSStatus Instance::getParameter(int32_t id, float* value) {
    if (!mHandle || !value) return kErrParam;
    AUCall c = call(kSelGetParameter);
    c.paramID = id;
    OSStatus s = mEntry(&c);
    if (s == kNoErr) *value = c.paramValue;
    return s;
}

OSStatus Instance::setParameter(int32_t id, float value) {
    if (!mHandle) return kErrParam;
    AUCall c = call(kSelSetParameter);
    c.paramID = id;
    c.paramValue = value;
    return mEntry(&c);
}

OSStatus Instance::render(uint32_t nFrames, uint32_t nInputs, float** inputs, uint32_t nOutputs, float** outputs) {
    if (!mHandle) return kErrParam;
    AUCall c = call(kSelRender);
    c.nFrames = nFrames;
    c.nInputs = nInputs;
    c.inputs = inputs;
    c.nOutputs = nOutputs;
    c.outputs = outputs;
    return mEntry(&c);
}

OSStatus Instance::listener(int32_t selector, ParameterListenerProc param, PropertyListenerProc prop, void* user,
                            uint32_t id) {
    if (!mHandle) return kErrParam;
    AUCall c = call(selector);
    c.parameterListener = param;
    c.propertyListener = prop;
    c.listenerUser = user;
    c.propertyID = id;
    return mEntry(&c);
}

}  // namespace platform::au
