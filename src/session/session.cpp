#include "session/session.h"

#include "shell/config_paths.h"

namespace lumar {

SessionPaths SessionPaths::FromConfigFolder() {
    return SessionPaths{ConfigFolder(), lumar::SettingsFile(), lumar::LanguageFile(), HostersFile(),
                        DataFolder()};
}

}  // namespace lumar
