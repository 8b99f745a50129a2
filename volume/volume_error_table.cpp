#include "volume/volume_error_table.h"

const char16_t VOLUME_CAPS_LOCK_NOTE[] = u"注意大写键是打开的。";

static const VolumeErrorEntry s_entries[] = {
    {1, SHOW_WINDOWS_ERROR, false, false, nullptr, nullptr},
    {2, SHOW_LANGUAGE_KEY, false, false, "OUTOFMEMORY", nullptr},
    {3, SHOW_FIXED_TEXT, true, false, nullptr, u"密码错误！"},
    {4, SHOW_LANGUAGE_KEY, false, true, "ERR_VOL_FORMAT_BAD", nullptr},
    {5, SHOW_FIXED_TEXT, false, false, nullptr, u"没有找到驱动程序。"},
    {6, SHOW_FIXED_TEXT, false, false, nullptr, u"无法卸载加密卷。位于此加密卷上某些文件可能仍被打开。"},
    {7, SHOW_FIXED_TEXT, false, false, nullptr, u"错误的加密卷大小。"},
    {8, SHOW_FIXED_TEXT, false, false, nullptr,
     u"错误：此加密卷在 NTFS 格式分区上压缩过。Veilguard 不支持压缩过的加密卷（这是因为压缩过的加密数据会低效和存在数据冗余）。\n\n"
     u"请使用以下步骤取消压缩： 1) 在Windows资源管理器中右键单击加密卷。 2) 选择“属性”。 3) 在“属性”对话框，单击“高级”。 "
     u"4) 在“高级属性”对话框，禁用“压缩内容以节省磁盘空间”并点击“确定”。 5) 返回到“属性”对话框，点“确定”。"},
    {9, SHOW_FIXED_TEXT, false, false, nullptr, u"错误的文件格式。"},
    {11, SHOW_FIXED_TEXT, false, false, nullptr, u"在加密卷里寻址时出错。"},
    {13, SHOW_FIXED_TEXT, false, false, nullptr, u"无法锁定此加密卷。此加密卷上仍有些文件被打开。因而也无法卸载。"},
    {15, SHOW_FIXED_TEXT, false, false, nullptr, u"当前正在运行一个不兼容的 Veilguard 设备驱动。\n\n要求版本：Veilguard %hs"},
    {16, SHOW_FIXED_TEXT, false, false, nullptr, u"需要新版本"},
    {17, SHOW_FIXED_TEXT, false, false, nullptr, u"错误：密码初始化失败。"},
    {18, SHOW_FIXED_TEXT, false, false, nullptr, u"错误：检测到弱强度密钥！ 请重试。"},
    {19, SHOW_FIXED_TEXT, false, true, nullptr,
     u"小心：在自动检测时，至少一个 加密或哈希算法失败了！\n\n此加密卷可能已损坏。"},
    {21, SHOW_FIXED_TEXT, false, false, nullptr, u"您试图要加载的加密卷已经载入。"},
    {22, SHOW_FIXED_TEXT, false, false, nullptr, u"无可用驱动器盘符。"},
    {23, SHOW_FIXED_TEXT, false, false, nullptr, u"文件不能被打开。"},
    {24, SHOW_FIXED_TEXT, false, false, nullptr, u"试图载入加密卷时出错。"},
    {26, SHOW_FIXED_TEXT, false, false, nullptr,
     u"错误：访问被拒绝。\n\n您试图要访问的分区要么是 0 扇区长度，要么是启动设备。"},
    {28, SHOW_NOTHING, false, false, nullptr, nullptr},
    {29, SHOW_LANGUAGE_KEY, false, true, "ERR_ENCRYPTION_NOT_COMPLETED", nullptr},
    {30, SHOW_LANGUAGE_KEY, false, true, "ERR_PARAMETER_INCORRECT", nullptr},
    {31, SHOW_LANGUAGE_KEY, false, true, "ERR_SYS_HIDVOL_HEAD_REENC_MODE_WRONG", nullptr},
    {32, SHOW_LANGUAGE_KEY, false, true, "ERR_NONSYS_INPLACE_ENC_INCOMPLETE", nullptr},
    {33, SHOW_NOTHING, false, false, nullptr, nullptr},
    {VOLUME_SAVE_NO_SPACE, SHOW_LANGUAGE_KEY, false, true, "ERR_VOLUME_SAVE_NO_SPACE", nullptr},
    {VOLUME_SAVE_NOT_WRITABLE, SHOW_LANGUAGE_KEY, false, true, "ERR_VOLUME_SAVE_NOT_WRITABLE", nullptr},
    {VOLUME_VIEW_TOO_LARGE, SHOW_LANGUAGE_KEY, false, true, "ERR_VOLUME_TOO_FULL", nullptr},
    {VOLUME_CONTENTS_UNREADABLE, SHOW_LANGUAGE_KEY, false, true, "ERR_VOLUME_CONTENTS_UNREADABLE", nullptr},
    {VOLUME_PATH_TOO_LONG, SHOW_LANGUAGE_KEY, false, true, "ERR_VOLUME_PATH_TOO_LONG", nullptr},
    {VOLUME_CONTAINER_CHANGED, SHOW_LANGUAGE_KEY, false, true, "ERR_VOLUME_CONTAINER_CHANGED", nullptr},
    {VOLUME_ORPHANS_DISAGREE, SHOW_LANGUAGE_KEY, false, true, "ERR_VOLUME_ORPHANS_DISAGREE", nullptr},
    {VOLUME_RESTORE_NO_SPACE, SHOW_LANGUAGE_KEY, false, true, "ERR_VOLUME_RESTORE_NO_SPACE", nullptr},
};

static const VolumeErrorEntry s_unknown = {-1, SHOW_FIXED_TEXT, false, false, nullptr, u"发生未知的错误!"};

const VolumeErrorEntry &FindVolumeError(int32_t code)
{
    for (const VolumeErrorEntry &e : s_entries)
        if (e.code == code)
            return e;
    return s_unknown;
}

const VolumeErrorEntry *VolumeErrorEntries(int *count)
{
    *count = static_cast<int>(sizeof(s_entries) / sizeof(s_entries[0]));
    return s_entries;
}
