// Varic Crossfeed as an LV2 plug-in: the crossfeed filter behind LV2's descriptor, with the
// Strength control mapped to the filter's strength exactly as the VST 2.4 plug-in maps its
// parameter, so that both give the same output bits for the same input, rate and Strength.
// Its ports are described in varic-crossfeed.ttl.in; the port indices here are that file's.

#include <lv2/core/lv2.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <type_traits>

#include "crossfeed_filter.h"
#include "float_mode.h"

namespace {

enum Port : std::uint32_t {
    kInLeft = 0,
    kInRight = 1,
    kOutLeft = 2,
    kOutRight = 3,
    kStrength = 4,  // 0 to 100, the VST 2.4 parameter's host value x 100
};

// The filter, the host's rate and the ports' buffers. LV2 calls run and connect_port on the
// audio thread, the others never while run is running.
struct Instance {
    crossfeed::Filter filter;
    double rate = 0.0;
    const float* in[2] = {nullptr, nullptr};
    float* out[2] = {nullptr, nullptr};
    const float* strengthControl = nullptr;
};

// The strength a port value stands for: the value the VST 2.4 plug-in gets from a host that
// shows its parameter as 0 to 100 (such as `varic render --strength`), value / 100 in single
// precision, through the same conversion.
std::int32_t strengthFromControl(float control) {
    return crossfeed::strengthFromParameter(control / 100.0f);
}

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const*) {
    // From the C library's heap, not operator new: the module needs no library but that one.
    void* const memory = std::malloc(sizeof(Instance));
    if (memory == nullptr) return nullptr;
    Instance* const instance = new (memory) Instance;
    instance->rate = sampleRate;
    return instance;
}

void connectPort(LV2_Handle handle, std::uint32_t port, void* data) {
    Instance& instance = *static_cast<Instance*>(handle);
    switch (port) {
        case kInLeft: instance.in[0] = static_cast<const float*>(data); break;
        case kInRight: instance.in[1] = static_cast<const float*>(data); break;
        case kOutLeft: instance.out[0] = static_cast<float*>(data); break;
        case kOutRight: instance.out[1] = static_cast<float*>(data); break;
        case kStrength: instance.strengthControl = static_cast<const float*>(data); break;
        default: break;
    }
}

// LV2 asks for a fresh start here: no sound from before a deactivation rings on.
void activate(LV2_Handle handle) {
    static_cast<Instance*>(handle)->filter.reset();
}

void run(LV2_Handle handle, std::uint32_t sampleCount) {
    const float_mode::DefaultFloatMode defaultMode;  // first: the control's conversion rounds
    Instance& instance = *static_cast<Instance*>(handle);
    // A control that lands on another stored strength restarts the filter, one that rounds to
    // the same strength does not: what a VST 2.4 host's parameter change does at its next block.
    // A VST 2.4 host hands its rate over as a float: the same narrowing, the same truncation.
    instance.filter.setup(crossfeed::truncatedRate(static_cast<float>(instance.rate)),
                          strengthFromControl(*instance.strengthControl));
    // The filter counts frames in int32; LV2 may hand over more in one call.
    constexpr std::uint32_t kMaxFrames = std::numeric_limits<std::int32_t>::max();
    for (std::uint32_t done = 0; done < sampleCount;) {
        const std::uint32_t frames = std::min(sampleCount - done, kMaxFrames);
        instance.filter.process(instance.in[0] + done, instance.in[1] + done,
                                instance.out[0] + done, instance.out[1] + done,
                                static_cast<std::int32_t>(frames));
        done += frames;
    }
}

void cleanup(LV2_Handle handle) {
    static_assert(std::is_trivially_destructible_v<Instance>);
    std::free(handle);
}

const void* extensionData(const char*) {
    return nullptr;
}

const LV2_Descriptor kDescriptor = {
    VARIC_LV2_URI, instantiate, connectPort, activate, run, nullptr, cleanup, extensionData,
};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
