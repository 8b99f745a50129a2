-- The application trace database: the applications the program knows, how to
-- tell that each is installed, and where each keeps its traces. The build
-- turns this file into an SQLite database and packs it into "mani.sys".
--
-- Encodings, as the program decodes them:
--   UTF-8:     apps.name, describe, exename, profile; profiles.*;
--              apppaths.path, name
--   ANSI code page (keep these ASCII): apps.DetectKey, ShellName;
--              appregs.subkey, item
--
-- apps.DetectKey: "HKCU\...", "HKLM\..." or "HKU\..." (this exact case) is a
--   registry key that must exist; anything else is a file or folder path with
--   environment variables that must exist.
-- apps.ShellName: a shell folder name (Cache, Cookies, Desktop, Favorites,
--   History, My Music, My Pictures, My Video, NetHood, Personal, Recent,
--   SendTo, PrintHood, Local AppData, AppData), or a value name under the key
--   that DetectKey names ("default" for its default value); a value holding a
--   dot is a file path and gives its folder. When the folder is found, EVERY
--   rule of the application takes it as its folder: give a ShellName only to
--   applications whose rules all live in that one folder (or that have none).
-- apps.exename: the running program that the logoff and quit commands end;
--   never give a shell process here.
-- appregs: key (root name), subkey, item (NULL: the whole key), aid.
-- apppaths: aid, path (folder; "%Personal%\..." for the user's documents),
--   name (file pattern, ";" separates several, NULL or empty for all files),
--   isRecurse (sub-folders too), isCopy (copy the file onto the virtual disk
--   when privacy mode starts; only for plain names and folders).
--   A name with a sub-folder part ("Sub\x.dat") is matched as "Sub\" followed
--   by the file name, in whatever folder passes the folder test.
--   Rules redirect and clean: never point one at program files or documents.

PRAGMA encoding = 'UTF-8';

CREATE TABLE apps (
  id        INTEGER PRIMARY KEY,
  name      TEXT NOT NULL,
  describe  TEXT NOT NULL,
  DetectKey TEXT,
  ShellName TEXT,
  exename   TEXT,
  profile   TEXT
);

CREATE TABLE profiles (
  appid    INTEGER NOT NULL,
  items    TEXT NOT NULL,
  filePath TEXT NOT NULL,
  section  TEXT NOT NULL
);

CREATE TABLE appregs (
  key    TEXT NOT NULL,
  subkey TEXT NOT NULL,
  item   TEXT,
  aid    INTEGER
);

CREATE TABLE apppaths (
  aid       INTEGER NOT NULL,
  path      TEXT NOT NULL,
  name      TEXT,
  isRecurse INTEGER NOT NULL DEFAULT 0,
  isCopy    INTEGER NOT NULL DEFAULT 0
);

BEGIN TRANSACTION;

-- ---------------------------------------------------------------- browsers

INSERT INTO apps VALUES (1, 'Internet Explorer',
  'IE 地址栏输入记录、表单自动完成和保存的密码、下载目录以及崩溃恢复数据',
  'HKLM\SOFTWARE\Microsoft\Internet Explorer', NULL, 'iexplore.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\TypedURLs', NULL, 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\TypedURLsTime', NULL, 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\IntelliForms\Storage1', NULL, 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\IntelliForms\Storage2', NULL, 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer', 'Download Directory', 1);
INSERT INTO apppaths VALUES (1, '%LOCALAPPDATA%\Microsoft\Internet Explorer\Recovery\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%LOCALAPPDATA%\Microsoft\Windows\WebCache\', 'WebCacheV*.dat', 0, 0);

INSERT INTO apps VALUES (2, 'IE 临时文件',
  'Internet Explorer 浏览网页时缓存的网页、图片和脚本',
  'HKLM\SOFTWARE\Microsoft\Internet Explorer', 'Cache', NULL, NULL);
INSERT INTO apppaths VALUES (2, '%LOCALAPPDATA%\Microsoft\Windows\INetCache\', NULL, 1, 0);

INSERT INTO apps VALUES (3, 'IE Cookies',
  '网站保存在本机上的 Cookie 文件，记录登录状态和浏览习惯',
  'HKLM\SOFTWARE\Microsoft\Internet Explorer', 'Cookies', NULL, NULL);
INSERT INTO apppaths VALUES (3, '%LOCALAPPDATA%\Microsoft\Windows\INetCookies\', NULL, 1, 0);

INSERT INTO apps VALUES (4, 'IE 历史记录',
  'Internet Explorer 访问过的网址历史',
  'HKLM\SOFTWARE\Microsoft\Internet Explorer', 'History', NULL, NULL);
INSERT INTO apppaths VALUES (4, '%LOCALAPPDATA%\Microsoft\Windows\History\', NULL, 1, 0);

INSERT INTO apps VALUES (5, 'Microsoft Edge',
  'Edge 浏览器的历史记录、Cookie、缓存、自动填充和会话记录',
  '%LOCALAPPDATA%\Microsoft\Edge\User Data', NULL, 'msedge.exe', NULL);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\', 'History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*', 0, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\', 'Cookies*;Login Data*;Web Data*;Favicons*', 0, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\', 'Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\Network\', 'Cookies*', 0, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\Code Cache\', NULL, 1, 0);

INSERT INTO apps VALUES (6, 'Google Chrome',
  'Chrome 浏览器的历史记录、Cookie、缓存、自动填充和会话记录',
  '%LOCALAPPDATA%\Google\Chrome\User Data', NULL, 'chrome.exe', NULL);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\', 'History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*', 0, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\', 'Cookies*;Login Data*;Web Data*;Favicons*', 0, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\', 'Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\Network\', 'Cookies*', 0, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\Code Cache\', NULL, 1, 0);

INSERT INTO apps VALUES (7, 'Mozilla Firefox',
  'Firefox 浏览器的历史记录和书签库、Cookie、表单记录、会话恢复和缓存',
  '%APPDATA%\Mozilla\Firefox\profiles.ini', NULL, 'firefox.exe', NULL);
INSERT INTO apppaths VALUES (7, '%APPDATA%\Mozilla\Firefox\Profiles\*\', 'places.sqlite*;favicons.sqlite*;cookies.sqlite*;formhistory.sqlite*', 0, 0);
INSERT INTO apppaths VALUES (7, '%APPDATA%\Mozilla\Firefox\Profiles\*\', 'sessionstore*;downloads.sqlite*;webappsstore.sqlite*', 0, 0);
INSERT INTO apppaths VALUES (7, '%APPDATA%\Mozilla\Firefox\Profiles\*\sessionstore-backups\', NULL, 1, 0);
INSERT INTO apppaths VALUES (7, '%LOCALAPPDATA%\Mozilla\Firefox\Profiles\', NULL, 1, 0);

INSERT INTO apps VALUES (8, 'Opera',
  'Opera 浏览器的历史记录、Cookie、自动填充、会话记录和缓存',
  '%APPDATA%\Opera Software\Opera Stable', NULL, 'opera.exe', NULL);
INSERT INTO apppaths VALUES (8, '%APPDATA%\Opera Software\Opera Stable\', 'History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*', 0, 0);
INSERT INTO apppaths VALUES (8, '%APPDATA%\Opera Software\Opera Stable\', 'Cookies*;Login Data*;Web Data*;Favicons*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (8, '%APPDATA%\Opera Software\Opera Stable\Network\', 'Cookies*', 0, 0);
INSERT INTO apppaths VALUES (8, '%APPDATA%\Opera Software\Opera Stable\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (8, '%LOCALAPPDATA%\Opera Software\Opera Stable\Cache\', NULL, 1, 0);

INSERT INTO apps VALUES (9, 'Opera（12 及更早版本）',
  '旧版 Opera 的浏览历史、地址栏输入记录、Cookie 和缓存',
  '%APPDATA%\Opera\Opera', NULL, 'opera.exe', NULL);
INSERT INTO apppaths VALUES (9, '%APPDATA%\Opera\Opera\', 'global_history.dat*;typed_history.xml*;cookies4.dat*;vlink4.dat*;download.dat*', 0, 0);
INSERT INTO apppaths VALUES (9, '%APPDATA%\Opera\Opera\sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (9, '%LOCALAPPDATA%\Opera\Opera\cache\', NULL, 1, 0);

INSERT INTO apps VALUES (10, '360安全浏览器',
  '360安全浏览器的历史记录、Cookie、自动填充和缓存',
  '%APPDATA%\360se6\User Data', NULL, '360se.exe', NULL);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\', 'History*;Visited Links;Top Sites*;Cookies*;Web Data*;Login Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\Cache\', NULL, 1, 0);

INSERT INTO apps VALUES (11, 'QQ浏览器',
  'QQ浏览器的历史记录、Cookie、自动填充和缓存',
  '%LOCALAPPDATA%\Tencent\QQBrowser\User Data', NULL, 'QQBrowser.exe', NULL);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\', 'History*;Visited Links;Top Sites*;Cookies*;Web Data*;Login Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\Cache\', NULL, 1, 0);

INSERT INTO apps VALUES (12, 'Adobe Flash Player',
  '网页中的 Flash 程序保存在本机上的 Flash Cookie（本地共享对象）',
  '%APPDATA%\Macromedia\Flash Player', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (12, '%APPDATA%\Macromedia\Flash Player\#SharedObjects\', NULL, 1, 0);
INSERT INTO apppaths VALUES (12, '%APPDATA%\Macromedia\Flash Player\macromedia.com\support\flashplayer\sys\', NULL, 1, 0);

INSERT INTO apps VALUES (13, 'Java',
  'Java 小程序和 Web Start 程序下载到本机的缓存',
  '%USERPROFILE%\AppData\LocalLow\Sun\Java\Deployment', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (13, '%USERPROFILE%\AppData\LocalLow\Sun\Java\Deployment\cache\', NULL, 1, 0);

-- ------------------------------------------------ Windows and its shell

INSERT INTO apps VALUES (20, 'Windows 资源管理器',
  '程序运行记录（UserAssist）、程序名称缓存、文件夹视图记录、映射网络驱动器记录和缩略图缓存',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\UserAssist', NULL, 20);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\ShellNoRoam\MUICache', NULL, 20);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Classes\Local Settings\Software\Microsoft\Windows\Shell\MuiCache', NULL, 20);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\ShellNoRoam\BagMRU', NULL, 20);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\ShellNoRoam\Bags', NULL, 20);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\Shell\BagMRU', NULL, 20);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\Shell\Bags', NULL, 20);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Classes\Local Settings\Software\Microsoft\Windows\Shell\BagMRU', NULL, 20);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Classes\Local Settings\Software\Microsoft\Windows\Shell\Bags', NULL, 20);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\Map Network Drive MRU', NULL, 20);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\StreamMRU', NULL, 20);
INSERT INTO apppaths VALUES (20, '%LOCALAPPDATA%\Microsoft\Windows\Explorer\', 'thumbcache_*.db;iconcache_*.db', 0, 0);

INSERT INTO apps VALUES (21, '最近使用的文档',
  '“开始”菜单和跳转列表中最近打开过的文档及其快捷方式',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\RecentDocs', 'Recent', NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\RecentDocs', NULL, 21);
INSERT INTO apppaths VALUES (21, '%APPDATA%\Microsoft\Windows\Recent\', '*.lnk', 0, 0);
INSERT INTO apppaths VALUES (21, '%APPDATA%\Microsoft\Windows\Recent\', 'AutomaticDestinations\*.automaticDestinations-ms', 1, 0);
INSERT INTO apppaths VALUES (21, '%APPDATA%\Microsoft\Windows\Recent\', 'CustomDestinations\*.customDestinations-ms', 1, 0);

INSERT INTO apps VALUES (22, '“运行”对话框历史',
  '在“开始 - 运行”中输入过的命令',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\RunMRU', NULL, 22);

INSERT INTO apps VALUES (23, '资源管理器地址栏历史',
  '在资源管理器地址栏中输入过的路径',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\TypedPaths', NULL, 23);

INSERT INTO apps VALUES (24, '文件搜索历史',
  '在资源管理器搜索框和搜索助手中输入过的关键词',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\WordWheelQuery', NULL, 24);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Search Assistant\ACMru', NULL, 24);

INSERT INTO apps VALUES (25, '打开/保存对话框历史',
  '各程序“打开”和“另存为”对话框中最近使用过的文件和文件夹',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\OpenSaveMRU', NULL, 25);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\LastVisitedMRU', NULL, 25);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\OpenSavePidlMRU', NULL, 25);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\LastVisitedPidlMRU', NULL, 25);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\CIDSizeMRU', NULL, 25);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\FirstFolder', NULL, 25);

INSERT INTO apps VALUES (26, '回收站',
  '已删除到回收站中的文件',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer', NULL, NULL, NULL);

INSERT INTO apps VALUES (27, 'Windows 临时文件',
  '程序在临时文件夹中留下的文件',
  '%TEMP%', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (27, '%TEMP%\', NULL, 1, 0);

INSERT INTO apps VALUES (28, 'Windows 预读文件',
  '系统为加快程序启动而记录的程序运行信息（Prefetch）',
  '%SystemRoot%\Prefetch', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (28, '%SystemRoot%\Prefetch\', '*.pf', 0, 0);

INSERT INTO apps VALUES (29, 'Windows 错误报告',
  '程序崩溃时生成的错误报告，其中含有打开过的文件和程序信息',
  '%LOCALAPPDATA%\Microsoft\Windows\WER', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (29, '%LOCALAPPDATA%\Microsoft\Windows\WER\', NULL, 1, 0);

INSERT INTO apps VALUES (30, '画图和写字板',
  '“画图”和“写字板”最近打开过的文件列表',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Applets', NULL, 'mspaint.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Applets\Paint\Recent File List', NULL, 30);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Applets\Wordpad\Recent File List', NULL, 30);

INSERT INTO apps VALUES (31, '注册表编辑器',
  '注册表编辑器最后打开的位置和收藏夹',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Applets\Regedit', NULL, 'regedit.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Applets\Regedit', 'LastKey', 31);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Applets\Regedit\Favorites', NULL, 31);

INSERT INTO apps VALUES (32, '远程桌面连接',
  '连接过的远程计算机列表和上次连接的设置',
  '%SystemRoot%\System32\mstsc.exe', NULL, 'mstsc.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Terminal Server Client\Default', NULL, 32);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Terminal Server Client\Servers', NULL, 32);
INSERT INTO apppaths VALUES (32, '%Personal%\', 'Default.rdp', 0, 1);

INSERT INTO apps VALUES (33, 'Windows Media Player',
  '最近播放过的文件和网址、媒体库数据库和专辑封面缓存',
  'HKLM\SOFTWARE\Microsoft\MediaPlayer', NULL, 'wmplayer.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\MediaPlayer\Player\RecentFileList', NULL, 33);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\MediaPlayer\Player\RecentURLList', NULL, 33);
INSERT INTO apppaths VALUES (33, '%LOCALAPPDATA%\Microsoft\Media Player\', 'CurrentDatabase_*.wmdb;LocalMLS_*.wmdb', 0, 0);
INSERT INTO apppaths VALUES (33, '%LOCALAPPDATA%\Microsoft\Media Player\Art Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (33, '%LOCALAPPDATA%\Microsoft\Media Player\Transcoded Files Cache\', NULL, 1, 0);

-- ------------------------------------------------------- mail and chat

INSERT INTO apps VALUES (40, 'Outlook Express',
  'Outlook Express 的邮件文件夹（*.dbx）',
  'HKLM\SOFTWARE\Microsoft\Outlook Express', NULL, 'msimn.exe', NULL);
INSERT INTO apppaths VALUES (40, '%USERPROFILE%\Local Settings\Application Data\Identities\', '*.dbx', 1, 0);

INSERT INTO apps VALUES (41, 'Windows Mail',
  'Windows Mail 收发的邮件',
  'HKLM\SOFTWARE\Microsoft\Windows Mail', NULL, 'WinMail.exe', NULL);
INSERT INTO apppaths VALUES (41, '%LOCALAPPDATA%\Microsoft\Windows Mail\', '*.eml', 1, 0);

INSERT INTO apps VALUES (42, 'Windows Live Mail',
  'Windows Live Mail 收发的邮件',
  'HKCU\Software\Microsoft\Windows Live Mail', NULL, 'wlmail.exe', NULL);
INSERT INTO apppaths VALUES (42, '%LOCALAPPDATA%\Microsoft\Windows Live Mail\', '*.eml', 1, 0);

INSERT INTO apps VALUES (43, 'Foxmail',
  'Foxmail 保存在安装目录中的邮箱文件',
  'HKCU\Software\Aerofox\Foxmail', 'Executable', 'Foxmail.exe', NULL);
INSERT INTO apppaths VALUES (43, '%ProgramFiles%\Foxmail\', '*.box;*.ind', 1, 0);

INSERT INTO apps VALUES (44, 'QQ',
  'QQ 聊天记录数据库以及收到的图片、语音、视频和文件',
  '%APPDATA%\Tencent\QQ', NULL, 'QQ.exe', NULL);
INSERT INTO apppaths VALUES (44, '%Personal%\Tencent Files\', 'Msg*.db', 1, 0);
INSERT INTO apppaths VALUES (44, '%Personal%\Tencent Files\*\Image\', NULL, 1, 0);
INSERT INTO apppaths VALUES (44, '%Personal%\Tencent Files\*\Audio\', NULL, 1, 0);
INSERT INTO apppaths VALUES (44, '%Personal%\Tencent Files\*\Video\', NULL, 1, 0);
INSERT INTO apppaths VALUES (44, '%Personal%\Tencent Files\*\FileRecv\', NULL, 1, 0);
INSERT INTO apppaths VALUES (44, '%APPDATA%\Tencent\QQ\Temp\', NULL, 1, 0);

INSERT INTO apps VALUES (45, '微信',
  '微信聊天记录数据库以及收到的图片、视频和文件',
  'HKCU\Software\Tencent\WeChat', NULL, 'WeChat.exe', NULL);
INSERT INTO apppaths VALUES (45, '%Personal%\WeChat Files\*\Msg\', NULL, 1, 0);
INSERT INTO apppaths VALUES (45, '%Personal%\WeChat Files\*\FileStorage\', NULL, 1, 0);

INSERT INTO apps VALUES (46, 'Skype',
  'Skype 聊天记录和通话记录数据库',
  'HKCU\Software\Skype', NULL, 'Skype.exe', NULL);
INSERT INTO apppaths VALUES (46, '%APPDATA%\Skype\', 'main.db*', 1, 0);

-- ------------------------------------------------------------- office

INSERT INTO apps VALUES (50, 'Microsoft Office 公共',
  'Office 最近使用的文件快捷方式以及 Office 2003/2007 打开和另存为对话框的记录',
  'HKCU\Software\Microsoft\Office', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\11.0\Common\Open Find', NULL, 50);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Common\Open Find', NULL, 50);
INSERT INTO apppaths VALUES (50, '%APPDATA%\Microsoft\Office\Recent\', NULL, 0, 0);

INSERT INTO apps VALUES (51, 'Microsoft Word',
  'Word 最近打开过的文档和位置列表以及自动恢复文件',
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Winword.exe', NULL, 'WINWORD.EXE', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Word\File MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\Word\File MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\Word\Place MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Word\File MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Word\Place MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Word\User MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Word\File MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Word\Place MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Word\User MRU', NULL, 51);
INSERT INTO apppaths VALUES (51, '%APPDATA%\Microsoft\Word\', '*.asd;*.wbk', 1, 0);

INSERT INTO apps VALUES (52, 'Microsoft Excel',
  'Excel 最近打开过的工作簿和位置列表以及自动恢复文件',
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\excel.exe', NULL, 'EXCEL.EXE', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Excel\File MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\Excel\File MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\Excel\Place MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Excel\File MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Excel\Place MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Excel\User MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Excel\File MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Excel\Place MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Excel\User MRU', NULL, 52);
INSERT INTO apppaths VALUES (52, '%APPDATA%\Microsoft\Excel\', '*.xar', 1, 0);

INSERT INTO apps VALUES (53, 'Microsoft PowerPoint',
  'PowerPoint 最近打开过的演示文稿和位置列表以及自动恢复文件',
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\powerpnt.exe', NULL, 'POWERPNT.EXE', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\PowerPoint\File MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\PowerPoint\File MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\PowerPoint\Place MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\PowerPoint\File MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\PowerPoint\Place MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\PowerPoint\User MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\PowerPoint\File MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\PowerPoint\Place MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\PowerPoint\User MRU', NULL, 53);
INSERT INTO apppaths VALUES (53, '%APPDATA%\Microsoft\PowerPoint\', NULL, 1, 0);

INSERT INTO apps VALUES (54, 'WPS Office',
  'WPS 文字、表格和演示的自动备份文件',
  'HKCU\Software\Kingsoft\Office', NULL, 'wps.exe', NULL);
INSERT INTO apppaths VALUES (54, '%APPDATA%\kingsoft\office6\backup\', NULL, 1, 0);

INSERT INTO apps VALUES (55, 'Adobe Reader',
  'Adobe Reader 最近打开过的 PDF 文档和文件夹列表',
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\AcroRd32.exe', 'Path', 'AcroRd32.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Acrobat Reader\9.0\AVGeneral\cRecentFiles', NULL, 55);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Acrobat Reader\10.0\AVGeneral\cRecentFiles', NULL, 55);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Acrobat Reader\11.0\AVGeneral\cRecentFiles', NULL, 55);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Acrobat Reader\DC\AVGeneral\cRecentFiles', NULL, 55);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Acrobat Reader\DC\AVGeneral\cRecentFolders', NULL, 55);

INSERT INTO apps VALUES (56, 'Notepad++',
  'Notepad++ 的会话记录、最近打开的文件列表和未保存文件的备份',
  'HKLM\SOFTWARE\Notepad++', NULL, 'notepad++.exe', NULL);
INSERT INTO apppaths VALUES (56, '%APPDATA%\Notepad++\', 'session.xml', 0, 1);
INSERT INTO apppaths VALUES (56, '%APPDATA%\Notepad++\', 'config.xml', 0, 1);
INSERT INTO apppaths VALUES (56, '%APPDATA%\Notepad++\backup\', NULL, 1, 0);

-- ------------------------------------------------ archives and tools

INSERT INTO apps VALUES (60, 'WinRAR',
  'WinRAR 最近打开过的压缩文件以及压缩和解压时输入过的路径',
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\WinRAR.exe', 'default', 'WinRAR.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\ArcHistory', NULL, 60);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\DialogEditHistory\ArcName', NULL, 60);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\DialogEditHistory\ExtrPath', NULL, 60);

INSERT INTO apps VALUES (61, '7-Zip',
  '7-Zip 文件管理器浏览过的文件夹以及压缩和解压时使用过的路径',
  'HKLM\SOFTWARE\7-Zip', 'Path', '7zFM.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\7-Zip\Compression', 'ArcHistory', 61);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\7-Zip\Extraction', 'PathHistory', 61);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\7-Zip\FM', 'FolderHistory', 61);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\7-Zip\FM', 'CopyHistory', 61);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\7-Zip\FM', 'PanelPath0', 61);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\7-Zip\FM', 'PanelPath1', 61);

INSERT INTO apps VALUES (62, 'Total Commander',
  'Total Commander 左右窗口最后停留的文件夹',
  'HKCU\Software\Ghisler\Total Commander', 'InstallDir', 'TOTALCMD.EXE', '%APPDATA%\GHISLER\wincmd.ini');
INSERT INTO profiles VALUES (62, 'path', '%USERPROFILE%\', 'left');
INSERT INTO profiles VALUES (62, 'path', '%USERPROFILE%\', 'right');

INSERT INTO apps VALUES (63, '迅雷',
  '迅雷的下载任务记录',
  'HKLM\SOFTWARE\Thunder Network\ThunderOem\thunder_backwnd', 'dir', 'Thunder.exe', NULL);
INSERT INTO apppaths VALUES (63, '%ProgramFiles%\Thunder Network\Thunder\', 'TaskDb.dat*', 1, 0);

-- ------------------------------------------------------------ media

INSERT INTO apps VALUES (70, 'PotPlayer',
  'PotPlayer 记住的播放过的文件和播放位置',
  'HKCU\Software\DAUM', NULL, 'PotPlayerMini.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\DAUM\PotPlayerMini\RememberFiles', NULL, 70);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\DAUM\PotPlayerMini64\RememberFiles', NULL, 70);

INSERT INTO apps VALUES (71, 'VLC 媒体播放器',
  'VLC 最近播放过的文件列表和媒体库',
  'HKLM\SOFTWARE\VideoLAN\VLC', NULL, 'vlc.exe', NULL);
INSERT INTO apppaths VALUES (71, '%APPDATA%\vlc\', 'vlc-qt-interface.ini', 0, 1);
INSERT INTO apppaths VALUES (71, '%APPDATA%\vlc\', 'ml.xspf', 0, 0);

INSERT INTO apps VALUES (72, 'Winamp',
  'Winamp 上次播放的播放列表',
  'HKCU\Software\Winamp', NULL, 'winamp.exe', NULL);
INSERT INTO apppaths VALUES (72, '%APPDATA%\Winamp\', 'winamp.m3u*', 0, 0);

INSERT INTO apps VALUES (73, '网易云音乐',
  '网易云音乐缓存的歌曲和网页数据',
  '%LOCALAPPDATA%\Netease\CloudMusic', NULL, 'cloudmusic.exe', NULL);
INSERT INTO apppaths VALUES (73, '%LOCALAPPDATA%\Netease\CloudMusic\Cache\', NULL, 1, 0);

COMMIT;
