// The shipped language file: it loads cleanly in both languages and holds
// the keys and texts the program looks up.
#include "Mount/lang/language_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

const char *const kStringKeys[] = {
    "VGRD", "VGRD_QUESTION", "VGRD_ABORTED", "ADMIN_PRIVILEGES_DRIVER", "ALREADY_MOUNTED",
    "CANCEL", "DRIVER_NOT_FOUND", "EXCEPTION_REPORT", "EXCEPTION_REPORT_EXT",
    "EXCEPTION_REPORT_TITLE", "EXIT", "FILE_OPEN_FAILED", "INIT_MUTEX", "INIT_REGISTER",
    "NODRIVER", "NOFONT", "NO_OS_VER", "OUTOFMEMORY", "PASSWORD", "PASSWORD_CHANGED",
    "PASSWORD_WRONG", "UNKNOWN", "ERR_UNKNOWN", "UNKNOWN_DRIVER_CODE", "UNSUPPORTED_OS",
    "ERR_MEM_ALLOC", "SIZE", "HOMEPAGE", "NEW_DBFILE", "NEW_SETUP", "SAVE_TO", "TIP_LOGIN",
    "ERROR", "INFORMATION", "FAIL", "FAILDS", "PASSWORD_BADCHAR", "MOUNTED", "WARNING_NOASCII",
    "FILEUSED", "UNMOUNDFAIL", "LOGOFFBEFORECHANGEPASSWORD", "CHANGESUCCESS", "MENU_ABOUT",
    "MENU_LOGIN", "MENU_LOGOFF", "MENU_CHANGEPASS", "MENU_CLEAN", "MENU_HELP", "MENU_QUIT",
    "ASK_QUIT", "TIP_MOUNTED", "LOADIMAGE", "TIP_LOGOFF", "TIP_LOGOFF_TITLE", "TIP_LOGON_TITLE",
    "TIP_VERSION", "TIP_EVERSION", "WARNING360", "CLOSEAPPBEFORELOGOFF", "CLOSEAPPS",
    "RECYCLEBIN", "CLEANPRIVACY", "CLEANNORMAL", "PRIVACYHELP", "NORMALHELP", "APPNAME",
    "NUMBER", "APPDETAIL", "NEEDRESTART", "VERSION", "CRITICAL_EXCEPTION", "NO_DRIVER",
    "ADMINISTRATOR",
    // Keys the program shows that need a readable text too.
    "ERR_NOT_ENOUGH_RANDOM_DATA", "SYS_AUTOMOUNT_DISABLED", "SYS_ASSIGN_DRIVE_LETTER", "ERR_ACCESS_DENIED",
    "DRIVE_GONE", "BACKUP_HEADER_FAILED",
};

const char *const kControlKeys[] = {
    "IDOK", "IDCANCEL", "IDD_ABOUT_DLG", "IDD_APPLIST", "IDC_REFRESH", "ID_CLEAN",
    "IDD_MOUNT_DLG", "IDC_CONVERTING", "IDD_PASSWORD_DLG", "IDT_PASSWORD",
    "IDD_PASSWORDCHANGE_DLG", "IDT_CURRENT", "IDT_NEW", "IDT_NEW_PASSWORD",
    "IDT_CONFIRM_PASSWORD",
};

// Shown as the key itself: the file must not hold them.
const char *const kAbsentKeys[] = {
    "LARGE_IDE_WARNING_2K", "LARGE_IDE_WARNING_2K_REGISTRY", "LARGE_IDE_WARNING_XP",
    "IDCLOSE", "IDHELP",
};

int g_errors;
void CountError(LanguageError, const char *) { ++g_errors; }

// A file of the program's sources: three folders up from this test's folder.
std::string ReadSourceFile(const char *name)
{
    std::string path = __FILE__;
    path = path.substr(0, path.find_last_of('/') + 1) + "../../../" + name;
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadLanguageFile()
{
    return ReadSourceFile("Mount/lang/language.xml");
}

class LanguageFile : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        std::string xml = ReadLanguageFile();
        ASSERT_FALSE(xml.empty());
        ASSERT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"utf-8\" ?>", 0), 0u);
        g_errors = 0;
        SetPreferredLanguage(GetParam());
        ASSERT_EQ(LoadLanguageText(xml.data(), xml.size(), nullptr, 0, CountError), 1);
        EXPECT_EQ(g_errors, 0);
    }
    void TearDown() override { SetPreferredLanguage(nullptr); }
};

std::u16string Str(const char *key)
{
    return GetLanguageString(key);
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(BothLanguages, LanguageFile, ::testing::Values("en", "zh-cn"));

TEST_P(LanguageFile, HoldsEveryKeyAndNoneOfTheAbsentOnes)
{
    for (const char *key : kStringKeys) {
        const char16_t *text = FindLanguageString(key);
        EXPECT_TRUE(text && text[0]) << key;
    }
    for (const char *key : kControlKeys)
        EXPECT_NE(FindLanguageString(key), nullptr) << key;
    for (const char *key : kAbsentKeys)
        EXPECT_EQ(FindLanguageString(key), nullptr) << key;
}

TEST_P(LanguageFile, HasTheFourFontClasses)
{
    bool zh = std::string(GetParam()) == "zh-cn";
    for (const char *cls : {"normal", "bold", "fixed", "title"}) {
        LanguageFont font{};
        ASSERT_TRUE(GetLanguageFont(cls, &font)) << cls;
        bool title = std::string(cls) == "title";
        EXPECT_EQ(font.size, title ? 16 : zh ? 12 : 11) << cls;
        std::u16string face = font.face;
        if (zh)
            EXPECT_EQ(face, u"宋体") << cls;
        else
            EXPECT_EQ(face, std::string(cls) == "fixed" ? u"MingLiU" : u"Tahoma") << cls;
    }
}

TEST(LanguageFileTexts, EnglishTextsAreThoseQuoted)
{
    std::string xml = ReadLanguageFile();
    SetPreferredLanguage(nullptr);
    ASSERT_EQ(LoadLanguageText(xml.data(), xml.size(), nullptr, 0, nullptr), 1);
    EXPECT_EQ(Str("IDOK"), u"OK(&O)");
    EXPECT_EQ(Str("IDC_CONVERTING"), u"Veilguard is converting environment, please waiting ......");
    EXPECT_EQ(Str("IDT_PASSWORD"), u"Password(&P):");
    EXPECT_EQ(Str("MOUNTED"), u"You have already login and mount your disk!");
    EXPECT_EQ(Str("OUTOFMEMORY"), u"Out Of memory!");
    EXPECT_EQ(Str("FAILDS"), u"Error = %d\r\n%s");
    EXPECT_EQ(Str("FILEUSED"), u"Some files or folders are being used now.\r\n\r\nForcing unmount?");
    EXPECT_EQ(Str("TIP_LOGIN"),
              u"%sYou will login to privacy mode after input your password and press \"OK\". You "
              u"can clear trace of normal mode by press \"Cancel\". It is advised to close all "
              u"applications before login.");
    EXPECT_EQ(Str("TIP_MOUNTED"),
              u"Veilguard logins success. Now most of system and applications's traces will be "
              u"protected. Including system and applications: \r\n\ttemporary files;\r\n\tURL "
              u"history;\r\n\tfavorites;\r\n\tform data;\r\n\tpassword,etc.");
    EXPECT_EQ(Str("PRIVACYHELP"),
              u"The system is in privary mode, most all system and applications traces are saved "
              u"into a encrypted virtual disk.\r\nCheck the type of traces from list below and "
              u"press \"Clean\" to start clean.");
    EXPECT_EQ(Str("NEEDRESTART"),
              u"Until restarting system some files will be deleted, do you want to restart now? ");
    EXPECT_EQ(Str("ADMINISTRATOR"), u"You must have administrator privileges to run Veilguard. ");
    EXPECT_EQ(Str("RECYCLEBIN"), u"Recycle Bin");
    EXPECT_EQ(Str("VGRD"), u"Veilguard");
}

TEST(LanguageFileTexts, ChineseTextsAreThoseQuoted)
{
    std::string xml = ReadLanguageFile();
    SetPreferredLanguage("zh-cn");
    ASSERT_EQ(LoadLanguageText(xml.data(), xml.size(), "#define IDOK_BUTTON 1\n", 22, nullptr), 1);
    EXPECT_EQ(std::u16string(GetLanguageControlText(1)), u"确定(&O)");
    EXPECT_EQ(std::u16string(GetLanguageControlText(2)), u"取消(&C)");
    EXPECT_EQ(Str("IDD_ABOUT_DLG"), u"关于Veilguard");
    EXPECT_EQ(Str("IDD_PASSWORD_DLG"), u"登录Veilguard");
    EXPECT_EQ(Str("IDT_PASSWORD"), u"密码(&P):");
    EXPECT_EQ(Str("ID_CLEAN"), u"清除(&O)");
    EXPECT_EQ(Str("IDC_CONVERTING"), u"Veilguard正在切换系统环境，请稍候......");
    EXPECT_EQ(Str("RECYCLEBIN"), u"回收站");
    EXPECT_EQ(Str("VGRD"), u"Veilguard");
    SetPreferredLanguage(nullptr);
}

TEST(LanguageFileTexts, ResourceHeaderGivesControlsTheirTexts)
{
    std::string xml = ReadLanguageFile(), header = ReadSourceFile("Mount/resource.h");
    ASSERT_FALSE(header.empty());
    SetPreferredLanguage("zh-cn");
    ASSERT_EQ(LoadLanguageText(xml.data(), xml.size(), header.data(), header.size(), nullptr), 1);
    auto control = [](int id) {
        const char16_t *t = GetLanguageControlText(id);
        return std::u16string(t ? t : u"<none>");
    };
    EXPECT_EQ(control(3050), u"密码(&P):");                 // IDT_PASSWORD
    EXPECT_EQ(control(3054), u"确认(&V):");                 // IDT_CONFIRM_PASSWORD
    EXPECT_EQ(control(19022), u"刷新(&R)");                 // IDC_REFRESH
    EXPECT_EQ(control(40082), u"清除(&O)");                 // ID_CLEAN
    EXPECT_EQ(control(19028), u"Veilguard正在切换系统环境，请稍候......");  // IDC_CONVERTING
    EXPECT_EQ(control(3034), u"<none>");                    // IDC_PASSWORD keeps its template
    EXPECT_EQ(control(19017), u"<none>");                   // IDC_PROTIPS
    SetPreferredLanguage(nullptr);
}
