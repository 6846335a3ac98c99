// varic validate: the validator of tools/validate, run from varic.

#include "tools/validate/validate.h"

#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/cli/plugin_location.h"
#include "tools/validate/child_process.h"

namespace varic {

int runValidate(const std::vector<std::string>& words) {
    try {
        return validate::runValidate(words, {validate::selfExecutable(), "validate"},
                                     defaultPluginPath(), caughtSignal);
    } catch (const validate::UsageError& e) {
        throw UsageError(e.what());
    } catch (const validate::Interrupted& e) {
        throw Interrupted(e.signal());
    }
}

}  // namespace varic
