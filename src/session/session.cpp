#include "session/session.h"

#include <cstdlib>

#include "imagelist/captures.h"
#include "shell/config_paths.h"

namespace lumar {

SessionPaths SessionPaths::FromConfigFolder() {
    return SessionPaths{ConfigFolder(), lumar::SettingsFile(), lumar::LanguageFile(),
                        HostersFile(),  DataFolder(),          CapturesFolder()};
}

}  // namespace lumar
