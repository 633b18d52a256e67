#include "store/SearchSettings.h"

SearchSettings& searchSettings()
{
    static SearchSettings settings;
    return settings;
}
