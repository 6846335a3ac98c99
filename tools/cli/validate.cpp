// varic validate: the validator of tools/validate, run from varic.

#include "validate.h"

#include "child_process.h"
#include "cli_support.h"
#include "commands.h"
#include "plugin_location.h"

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
