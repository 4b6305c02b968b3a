// Fuzz target: an arbitrary settings file is loaded, its values read, saved and loaded again;
// the second load must give back what was saved.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/Setup.h"
#include "fuzz/FuzzTemp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = FuzzTemp::WriteFile("tavmor-tools.ini", data, size);
    if (path.empty()) {
        return 0;
    }
    TSetup setup;
    setup.Create(path);
    TSetupValues values;
    if (setup.Load(values)) {
        for (const std::string& line : setup.Lines) {
            (void)TSetup::ValueAsInt(line);
            (void)TSetup::ValueAsBool(line);
        }
        if (setup.Save(values)) {
            TSetupValues again;
            if (!setup.Load(again) || again.WindowPosX != values.WindowPosX
                || again.WindowPosY != values.WindowPosY
                || again.CheckForUpdates != values.CheckForUpdates) {
                std::abort();
            }
        }
    }
    setup.Destroy();
    return 0;
}
