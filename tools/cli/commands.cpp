#include "commands.h"

#include "validate_command.h"

namespace varic {

const std::vector<Command>& commands() {
    static const std::vector<Command> all = {
        {infoHelp, runInfo},
        {renderHelp, runRender},
        {responseHelp, runResponse},
        {demoHelp, runDemo},
        {validate::validateHelp, runValidate},
    };
    return all;
}

}  // namespace varic
