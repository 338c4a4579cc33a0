// Run before the database tests: drops the test databases of test processes
// that are gone, so a killed run leaves nothing behind on the sandbox server
// for long. Databases of living processes, and every name the tests did not
// make, are left alone.
#include "support/Sandbox.h"

#include <cstdio>

int main()
{
    using namespace varnel;
    const test::SandboxSettings settings = test::sandboxSettings();
    if (!settings.available) {
        std::puts("no sandbox database: nothing to drop");
        return 0;
    }
    MySqlConnection db;
    if (!db.connect(settings.server, settings.user, settings.password)) {
        std::fprintf(stderr, "cannot connect to the sandbox database: %s\n", db.connectError().c_str());
        return 1;
    }
    for (const std::string &name : test::dropStaleTestDatabases(db))
        std::printf("dropped %s\n", name.c_str());
    return 0;
}
