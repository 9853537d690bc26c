#include "cli/exit_status.h"

namespace cli {

ExitStatus exit_status(model::JobEnd end)
{
    switch (end) {
    case model::JobEnd::Done:
        return status_done;
    case model::JobEnd::Differs:
    case model::JobEnd::Failed:
        return status_failed;
    case model::JobEnd::LineFailed:
        return status_line;
    }
    return status_failed;
}

} // namespace cli
