// The configuration file: bytes in as the file, read into the settings
// window's fields and the settings in memory.

#include "FuzzPlant.h"

#include "config/Configuration.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Plant& p = fuzz::sharedPlant();
    fuzz::Run run(p);
    const QString name = QStringLiteral("ServerQuirnel.zezad");
    const QString written = p.writeFile(name, data, size);
    run.ctx.ConfigFilePath = written;
    ReadConfiguration(run.ctx);
    // The client directory start-up locks the plant with comes from the same
    // file without touching anything.
    (void)configuredClientDir(run.ctx);
    return 0;
}
