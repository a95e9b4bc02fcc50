// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the demo packages bundled in examples/demo: one Unreal music package
// per module kind and one package that carries no module.
#include "fixtures/Fixtures.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

bool Write(const std::string& path, const fixtures::Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_packages FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    struct Demo {
        const char* name;
        fixtures::ModuleKind kind;
        const char* title;
    };
    const Demo demos[] = {
        {"Impulsgeber.umx", fixtures::ModuleKind::ImpulseTracker, "Impulsgeber"},
        {"Schreihals.umx", fixtures::ModuleKind::ScreamTracker3, "Schreihals"},
        {"Weitklang.umx", fixtures::ModuleKind::FastTracker2, "Weitklang"},
    };
    bool ok = true;
    for (const Demo& demo : demos) {
        fixtures::ModuleOptions module;
        module.title = demo.title;
        fixtures::PackageOptions package;
        package.objectName = demo.title;
        ok &= Write(folder + demo.name, fixtures::WrapInPackage(fixtures::MakeModule(demo.kind, module), package).bytes);
    }
    ok &= Write(folder + "Stille.umx", fixtures::MakePackageWithoutModule(4000).bytes);
    return ok ? 0 : 1;
}
