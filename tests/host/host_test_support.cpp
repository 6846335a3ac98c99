#include "host_test_support.h"

namespace testing_support {

std::unique_ptr<vsthost::Instance> makeInstance(vsthost::Host& host) {
    std::string error;
    auto plugin = vsthost::Instance::create(vsthost::pluginUnderTest(), &host, &error);
    EXPECT_NE(plugin, nullptr) << error;
    return plugin;
}

}  // namespace testing_support
