// The update check as a user meets it: the program, started in a folder of
// its own against a local update server that offers a new database, asks;
// Yes replaces "mani.sys" and the same start comes up with it.
#include "driver.h"

#include "update_server_support.h"

#include <stdio.h>
#include <string>

namespace {

std::string Folder(const std::string &path) { return path.substr(0, path.rfind('/')); }

std::string ReadAll(const std::string &path)
{
    std::string out;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return out;
}

TEST(UpdateAtStartup, AcceptedDatabaseReplacesTheArchiveAndTheSameStartComesUp)
{
    const std::string bin = Folder(VG_PROGRAM);
    const std::string build = Folder(bin);
    const std::string work = build + "/e2e-update", app = work + "/app", www = work + "/www";
    const std::string mkmani = build + "/tools/mkmani";
    // A copy of the program with its files (the archives and the driver's
    // placeholder), so that the build's own archive stays as it is; a new
    // database (one more application) packed by the archive tool;
    // "update.txt" with its digest; this program's version.
    std::string setup = "rm -rf '" + work + "' && mkdir -p '" + app + "' '" + www + "/vgrd' && cp '" + bin +
                        "/veilguard.exe.so' '" + bin + "'/*.sys '" + app + "/' && cp '" +
                        mkmani + "/mani.db' '" + work + "/new.db' && sqlite3 '" + work +
                        "/new.db' \"insert into apps (id, name, describe) values (9901, 'UpdatedApp', 'new')\" && '" +
                        mkmani + "/mkmani-host' --database '" + work + "/new.db' --output '" + www +
                        "/vgrd/mani.zip' && md5sum '" + www + "/vgrd/mani.zip' | cut -c1-32 > '" + www +
                        "/vgrd/update.txt' && printf 2.02 > '" + www + "/vgrd/setup.txt'";
    ASSERT_EQ(system(setup.c_str()), 0) << setup;
    const std::string offered = ReadAll(www + "/vgrd/mani.zip");
    ASSERT_GT(offered.size(), 1000u);
    ASSERT_NE(ReadAll(app + "/mani.sys"), offered);

    LocalUpdateServer server;
    ASSERT_TRUE(server.Start(www, VG_UPDATE_PORT, 90)) << "port " << VG_UPDATE_PORT << " stayed taken";

    Program prog;
    ASSERT_TRUE(StartProgramAt(prog, (app + "/veilguard.exe.so").c_str()));
    HWND box = WaitForWindow(prog.pid, L"#32770", L"Veilguard", 60000);
    ASSERT_NE(box, nullptr) << "no question; program state/exit code " << WaitForExit(prog, 0);
    EXPECT_NE(DialogStaticText(box).find(u"新的数据库文件"), std::u16string::npos);
    EXPECT_FALSE(HasWindow(prog.pid, L"MainWnd"));
    Screenshot("update_database_question");
    PressButton(box, IDYES);

    HWND main = WaitForWindow(prog.pid, L"MainWnd", nullptr, 60000);
    EXPECT_NE(main, nullptr) << "program state/exit code " << WaitForExit(prog, 0);
    EXPECT_EQ(WaitForExit(prog, 0), (DWORD)STILL_ACTIVE);
    StopProgram(prog);
    server.Stop();

    EXPECT_EQ(ReadAll(app + "/mani.sys"), offered) << "mani.sys was not replaced by the download";
    EXPECT_NE(system(("ls '" + app + "'/vgu*.tmp >/dev/null 2>&1").c_str()), 0) << "a temporary file was left";
    std::string log = ReadAll(www + "/requests.log");
    EXPECT_NE(log.find("/vgrd/update.txt\tTessaline Veilguard/2.0"), std::string::npos) << log;
    EXPECT_NE(log.find("/vgrd/setup.txt\t"), std::string::npos) << log;
    EXPECT_NE(log.find("/vgrd/mani.zip\tTessaline Veilguard/2.0"), std::string::npos) << log;
}

}  // namespace
