#include "workspace/SearchSettings.h"

SearchSettings& searchSettings()
{
    static SearchSettings settings;
    return settings;
}
