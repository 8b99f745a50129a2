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
--   registry key that must exist (in either registry view, so a 64-bit
--   program registered only outside Wow6432Node counts too; keys under HKCU
--   are the same in both); anything else is a file or folder path with
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
--   A database moves with its companions or not at all: an SQLite file's
--   patterns end in "*" so that its -journal, -wal and -shm files go with it,
--   and an ESE store (WebCache, Windows Mail, Edge Legacy) is covered by its
--   whole folder, logs, checkpoint and reserve files included.
--
-- Each application's rows are preceded by the public sources they were
-- checked against (published cleaner definitions, vendors' documentation,
-- forensic references). Locations that could not be checked are left out.

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

-- Internet Explorer. Sources: BleachBit CleanerML cleaners/internet_explorer.xml
-- (github.com/bleachbit/bleachbit: TypedURLs and TypedURLsTime, the search
-- companion's FilesNamedMRU and ContainingTextMRU, Recovery\PendingDelete,
-- LowRegistry\DOMStorage, Main "Save Directory", UserData, IETldCache,
-- AppCache, the IE11 app container's IEDownloadHistory); winapp2.ini entry
-- "Universal Windows Platform" (github.com/MoscaDotTo/Winapp2: CacheStorage,
-- DOMStorage); Microsoft KB 157729 (TypedURLs); forensic references on the
-- WebCache ESE database (WebCacheV01.dat with its V01*.log, V01.chk and *.jrs
-- files: the whole folder moves, never the database alone). IE's saved
-- passwords are the IntelliForms Storage2 values; the credential vault
-- (%LOCALAPPDATA%\Microsoft\Vault, Credentials) is shared by every Windows
-- program and is left out.
INSERT INTO apps VALUES (1, 'Internet Explorer',
  'IE 地址栏输入记录及其时间、表单自动完成和保存的密码、搜索助手记录、下载记录、网页存储、崩溃恢复数据以及 WebCache 数据库',
  'HKLM\SOFTWARE\Microsoft\Internet Explorer', NULL, 'iexplore.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\TypedURLs', NULL, 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\TypedURLsTime', NULL, 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\IntelliForms\Storage1', NULL, 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\IntelliForms\Storage2', NULL, 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer', 'Download Directory', 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\Main', 'Save Directory', 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\Explorer Bars\{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}\FilesNamedMRU', NULL, 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\Explorer Bars\{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}\ContainingTextMRU', NULL, 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\Recovery\PendingDelete', NULL, 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\DOMStorage', NULL, 1);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Internet Explorer\LowRegistry\DOMStorage', NULL, 1);
INSERT INTO apppaths VALUES (1, '%LOCALAPPDATA%\Microsoft\Internet Explorer\Recovery\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%LOCALAPPDATA%\Microsoft\Internet Explorer\DOMStore\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%USERPROFILE%\AppData\LocalLow\Microsoft\Internet Explorer\DOMStore\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%APPDATA%\Microsoft\Windows\IEDownloadHistory\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%APPDATA%\Microsoft\Windows\IECompatCache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%APPDATA%\Microsoft\Windows\IECompatUACache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%LOCALAPPDATA%\Microsoft\Windows\WebCache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%LOCALAPPDATA%\Microsoft\Feeds Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%LOCALAPPDATA%\Microsoft\Internet Explorer\CacheStorage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%LOCALAPPDATA%\Microsoft\Windows\AppCache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%APPDATA%\Microsoft\Internet Explorer\UserData\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%APPDATA%\Microsoft\Windows\IETldCache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (1, '%LOCALAPPDATA%\Packages\windows_ie_ac_*\AC\IEDownloadHistory\', NULL, 1, 0);

-- IE cache, cookies and history: the shell folders themselves (Cache, Cookies,
-- History), so XP's "Temporary Internet Files" and the later INetCache resolve
-- alike. Sources: BleachBit cleaners/internet_explorer.xml.
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

-- Chromium-based browsers share one profile layout: SQLite databases (History,
-- Cookies, Login Data, Web Data, Top Sites, Shortcuts, Favicons, ...) whose
-- -journal files the patterns catch too, the Sessions folder and the caches.
-- Sources: Chromium docs/user_data_dir.md (chromium.googlesource.com);
-- BleachBit cleaners/microsoft_edge.xml and cleaners/brave.xml. The download
-- history beside History (DownloadMetadata, the shared_proto_db folder) is
-- listed for each browser that winapp2.ini's "<browser> Download History"
-- entry covers: 360 Secure Browser, QQBrowser, Brave, Vivaldi, Chromium,
-- Yandex, Maxthon, UC and Cent Browser.

-- Microsoft Edge (Chromium). Sources: BleachBit cleaners/microsoft_edge.xml
-- (DownloadMetadata, History Provider Cache, MediaDeviceSalts, JumpListIcons*,
-- GPUCache; "Profile *" beside "Default"); winapp2.ini entries "Microsoft Edge
-- Download History" (shared_proto_db) and "Microsoft Edge Web Browsing
-- Session" (Extension State).
INSERT INTO apps VALUES (5, 'Microsoft Edge',
  'Edge 浏览器（默认和其他用户配置）的历史记录、下载记录、Cookie、缓存、自动填充、网页存储和会话记录',
  '%LOCALAPPDATA%\Microsoft\Edge\User Data', NULL, 'msedge.exe', NULL);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\IndexedDB\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\', 'DownloadMetadata;History Provider Cache;MediaDeviceSalts*', 0, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\shared_proto_db\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\Extension State\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\JumpListIcons*\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Default\GPUCache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Profile *\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Profile *\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Profile *\', 'DownloadMetadata;History Provider Cache;MediaDeviceSalts*', 0, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Profile *\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Profile *\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Profile *\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Profile *\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Profile *\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Profile *\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (5, '%LOCALAPPDATA%\Microsoft\Edge\User Data\Profile *\IndexedDB\', NULL, 1, 0);

-- Google Chrome. Sources: Chromium docs/user_data_dir.md; BleachBit
-- cleaners/google_chrome.xml (the "Profile *" folders beside "Default",
-- GPUCache) and cleaners/microsoft_edge.xml for the shared Chromium files
-- (DownloadMetadata, History Provider Cache, MediaDeviceSalts, JumpListIcons*);
-- winapp2.ini entries "Google Chrome Download History" (DownloadMetadata,
-- shared_proto_db) and "Google Chrome Web Browsing Session" (Extension State).
INSERT INTO apps VALUES (6, 'Google Chrome',
  'Chrome 浏览器（默认和其他用户配置）的历史记录、下载记录、Cookie、缓存、自动填充、网页存储和会话记录',
  '%LOCALAPPDATA%\Google\Chrome\User Data', NULL, 'chrome.exe', NULL);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\IndexedDB\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\', 'DownloadMetadata;History Provider Cache;MediaDeviceSalts*', 0, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\shared_proto_db\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\Extension State\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\JumpListIcons*\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Default\GPUCache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Profile *\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Profile *\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Profile *\', 'DownloadMetadata;History Provider Cache;MediaDeviceSalts*', 0, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Profile *\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Profile *\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Profile *\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Profile *\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Profile *\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Profile *\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (6, '%LOCALAPPDATA%\Google\Chrome\User Data\Profile *\IndexedDB\', NULL, 1, 0);

-- Mozilla Firefox. Sources: Mozilla support "Profiles - Where Firefox stores
-- your bookmarks, passwords and other user data" (support.mozilla.org);
-- BleachBit cleaners/firefox.xml. The *.sqlite* patterns keep each database
-- with its -wal and -shm files.
INSERT INTO apps VALUES (7, 'Mozilla Firefox',
  'Firefox 浏览器的历史记录和书签库、Cookie、表单记录、会话恢复和缓存',
  '%APPDATA%\Mozilla\Firefox\profiles.ini', NULL, 'firefox.exe', NULL);
INSERT INTO apppaths VALUES (7, '%APPDATA%\Mozilla\Firefox\Profiles\*\', 'places.sqlite*;favicons.sqlite*;cookies.sqlite*;formhistory.sqlite*;permissions.sqlite*;content-prefs.sqlite*;webappsstore.sqlite*', 0, 0);
INSERT INTO apppaths VALUES (7, '%APPDATA%\Mozilla\Firefox\Profiles\*\', 'sessionstore*;downloads.sqlite*', 0, 0);
INSERT INTO apppaths VALUES (7, '%APPDATA%\Mozilla\Firefox\Profiles\*\sessionstore-backups\', NULL, 1, 0);
INSERT INTO apppaths VALUES (7, '%LOCALAPPDATA%\Mozilla\Firefox\Profiles\', NULL, 1, 0);

-- Opera (Chromium-based, profile in the roaming folder, cache in the local
-- one). Source: BleachBit cleaners/opera.xml.
INSERT INTO apps VALUES (8, 'Opera',
  'Opera 浏览器的历史记录、Cookie、自动填充、会话记录和缓存',
  '%APPDATA%\Opera Software\Opera Stable', NULL, 'opera.exe', NULL);
INSERT INTO apppaths VALUES (8, '%APPDATA%\Opera Software\Opera Stable\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*', 0, 0);
INSERT INTO apppaths VALUES (8, '%APPDATA%\Opera Software\Opera Stable\', 'Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (8, '%APPDATA%\Opera Software\Opera Stable\Network\', 'Cookies*', 0, 0);
INSERT INTO apppaths VALUES (8, '%APPDATA%\Opera Software\Opera Stable\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (8, '%APPDATA%\Opera Software\Opera Stable\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (8, '%LOCALAPPDATA%\Opera Software\Opera Stable\Cache\', NULL, 1, 0);

-- Opera 12 and earlier (Presto). Source: BleachBit cleaners/opera.xml (its
-- older revisions list global_history.dat, typed_history.xml, cookies4.dat,
-- vlink4.dat, download.dat and the sessions folder).
INSERT INTO apps VALUES (9, 'Opera（12 及更早版本）',
  '旧版 Opera 的浏览历史、地址栏输入记录、Cookie 和缓存',
  '%APPDATA%\Opera\Opera', NULL, 'opera.exe', NULL);
INSERT INTO apppaths VALUES (9, '%APPDATA%\Opera\Opera\', 'global_history.dat*;typed_history.xml*;cookies4.dat*;vlink4.dat*;download.dat*', 0, 0);
INSERT INTO apppaths VALUES (9, '%APPDATA%\Opera\Opera\sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (9, '%LOCALAPPDATA%\Opera\Opera\cache\', NULL, 1, 0);

-- 360 Secure Browser (Chromium-based, profile under %APPDATA%\360se6).
-- Sources: public browser-data inventories naming %APPDATA%\360se6\User Data;
-- the Chromium layout as above; winapp2.ini entries "360 Secure Browser Web
-- Browsing History" (its own 360History database beside History) and "...
-- History Backups" (the HisDailyBackup folder).
INSERT INTO apps VALUES (10, '360安全浏览器',
  '360安全浏览器的历史记录、Cookie、自动填充、会话记录和缓存',
  '%APPDATA%\360se6\User Data', NULL, '360se.exe', NULL);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\IndexedDB\', NULL, 1, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\', 'DownloadMetadata', 0, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\shared_proto_db\', NULL, 1, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\', '360History*', 0, 0);
INSERT INTO apppaths VALUES (10, '%APPDATA%\360se6\User Data\Default\HisDailyBackup\', NULL, 1, 0);

-- QQ Browser (Chromium-based). Sources: public browser-data inventories
-- naming %LOCALAPPDATA%\Tencent\QQBrowser\User Data; the Chromium layout.
INSERT INTO apps VALUES (11, 'QQ浏览器',
  'QQ浏览器的历史记录、Cookie、自动填充、会话记录和缓存',
  '%LOCALAPPDATA%\Tencent\QQBrowser\User Data', NULL, 'QQBrowser.exe', NULL);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\IndexedDB\', NULL, 1, 0);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\', 'DownloadMetadata', 0, 0);
INSERT INTO apppaths VALUES (11, '%LOCALAPPDATA%\Tencent\QQBrowser\User Data\Default\shared_proto_db\', NULL, 1, 0);

-- Flash Player local shared objects. Source: BleachBit cleaners/flash.xml.
INSERT INTO apps VALUES (12, 'Adobe Flash Player',
  '网页中的 Flash 程序保存在本机上的 Flash Cookie（本地共享对象）',
  '%APPDATA%\Macromedia\Flash Player', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (12, '%APPDATA%\Macromedia\Flash Player\#SharedObjects\', NULL, 1, 0);
INSERT INTO apppaths VALUES (12, '%APPDATA%\Macromedia\Flash Player\macromedia.com\support\flashplayer\sys\', NULL, 1, 0);

-- Java deployment cache: LocalLow from Vista on, the roaming folder on XP.
-- Source: BleachBit cleaners/java.xml; Oracle Java deployment documentation.
INSERT INTO apps VALUES (13, 'Java',
  'Java 小程序和 Web Start 程序下载到本机的缓存',
  'HKLM\SOFTWARE\JavaSoft', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (13, '%USERPROFILE%\AppData\LocalLow\Sun\Java\Deployment\cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (13, '%APPDATA%\Sun\Java\Deployment\cache\', NULL, 1, 0);

-- Microsoft Edge Legacy (EdgeHTML, Windows 10): everything lives in its app
-- container (spartan.edb and its ESE logs, cache, cookies), so the whole AC
-- folder moves at once; its history shares IE's WebCache. Sources: forensic
-- references on Edge Legacy artefacts (the DataStore\Data\nouser1\...\DBStore
-- \spartan.edb database); BleachBit cleaners/microsoft_edge.xml history.
INSERT INTO apps VALUES (14, 'Microsoft Edge（旧版）',
  '旧版 Edge 的收藏夹数据库、缓存、Cookie、会话恢复和网页存储',
  '%LOCALAPPDATA%\Packages\Microsoft.MicrosoftEdge_8wekyb3d8bbwe', NULL, 'MicrosoftEdge.exe', NULL);
INSERT INTO apppaths VALUES (14, '%LOCALAPPDATA%\Packages\Microsoft.MicrosoftEdge_8wekyb3d8bbwe\AC\', NULL, 1, 0);

-- Brave. Source: BleachBit cleaners/brave.xml.
INSERT INTO apps VALUES (15, 'Brave',
  'Brave 浏览器的历史记录、Cookie、缓存、自动填充、网页存储和会话记录',
  '%LOCALAPPDATA%\BraveSoftware\Brave-Browser\User Data', NULL, 'brave.exe', NULL);
INSERT INTO apppaths VALUES (15, '%LOCALAPPDATA%\BraveSoftware\Brave-Browser\User Data\Default\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (15, '%LOCALAPPDATA%\BraveSoftware\Brave-Browser\User Data\Default\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (15, '%LOCALAPPDATA%\BraveSoftware\Brave-Browser\User Data\Default\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (15, '%LOCALAPPDATA%\BraveSoftware\Brave-Browser\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (15, '%LOCALAPPDATA%\BraveSoftware\Brave-Browser\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (15, '%LOCALAPPDATA%\BraveSoftware\Brave-Browser\User Data\Default\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (15, '%LOCALAPPDATA%\BraveSoftware\Brave-Browser\User Data\Default\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (15, '%LOCALAPPDATA%\BraveSoftware\Brave-Browser\User Data\Default\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (15, '%LOCALAPPDATA%\BraveSoftware\Brave-Browser\User Data\Default\IndexedDB\', NULL, 1, 0);
INSERT INTO apppaths VALUES (15, '%LOCALAPPDATA%\BraveSoftware\Brave-Browser\User Data\Default\', 'DownloadMetadata', 0, 0);
INSERT INTO apppaths VALUES (15, '%LOCALAPPDATA%\BraveSoftware\Brave-Browser\User Data\Default\shared_proto_db\', NULL, 1, 0);

-- Vivaldi. Sources: Vivaldi help "Where is my profile" (help.vivaldi.com);
-- the Chromium layout.
INSERT INTO apps VALUES (16, 'Vivaldi',
  'Vivaldi 浏览器的历史记录、Cookie、缓存、自动填充、网页存储和会话记录',
  '%LOCALAPPDATA%\Vivaldi\User Data', NULL, 'vivaldi.exe', NULL);
INSERT INTO apppaths VALUES (16, '%LOCALAPPDATA%\Vivaldi\User Data\Default\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (16, '%LOCALAPPDATA%\Vivaldi\User Data\Default\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (16, '%LOCALAPPDATA%\Vivaldi\User Data\Default\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (16, '%LOCALAPPDATA%\Vivaldi\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (16, '%LOCALAPPDATA%\Vivaldi\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (16, '%LOCALAPPDATA%\Vivaldi\User Data\Default\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (16, '%LOCALAPPDATA%\Vivaldi\User Data\Default\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (16, '%LOCALAPPDATA%\Vivaldi\User Data\Default\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (16, '%LOCALAPPDATA%\Vivaldi\User Data\Default\IndexedDB\', NULL, 1, 0);
INSERT INTO apppaths VALUES (16, '%LOCALAPPDATA%\Vivaldi\User Data\Default\', 'DownloadMetadata', 0, 0);
INSERT INTO apppaths VALUES (16, '%LOCALAPPDATA%\Vivaldi\User Data\Default\shared_proto_db\', NULL, 1, 0);

-- Chromium. Source: Chromium docs/user_data_dir.md; BleachBit cleaners/chromium.xml.
INSERT INTO apps VALUES (17, 'Chromium',
  'Chromium 浏览器的历史记录、Cookie、缓存、自动填充、网页存储和会话记录',
  '%LOCALAPPDATA%\Chromium\User Data', NULL, 'chromium.exe', NULL);
INSERT INTO apppaths VALUES (17, '%LOCALAPPDATA%\Chromium\User Data\Default\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (17, '%LOCALAPPDATA%\Chromium\User Data\Default\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (17, '%LOCALAPPDATA%\Chromium\User Data\Default\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (17, '%LOCALAPPDATA%\Chromium\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (17, '%LOCALAPPDATA%\Chromium\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (17, '%LOCALAPPDATA%\Chromium\User Data\Default\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (17, '%LOCALAPPDATA%\Chromium\User Data\Default\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (17, '%LOCALAPPDATA%\Chromium\User Data\Default\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (17, '%LOCALAPPDATA%\Chromium\User Data\Default\IndexedDB\', NULL, 1, 0);
INSERT INTO apppaths VALUES (17, '%LOCALAPPDATA%\Chromium\User Data\Default\', 'DownloadMetadata', 0, 0);
INSERT INTO apppaths VALUES (17, '%LOCALAPPDATA%\Chromium\User Data\Default\shared_proto_db\', NULL, 1, 0);

-- Yandex Browser. Sources: Yandex Browser help on the user profile
-- (browser.yandex.com/help); the Chromium layout.
INSERT INTO apps VALUES (18, 'Yandex 浏览器',
  'Yandex 浏览器的历史记录、Cookie、缓存、自动填充、网页存储和会话记录',
  '%LOCALAPPDATA%\Yandex\YandexBrowser\User Data', NULL, 'YandexBrowser\Application\browser.exe', NULL);
INSERT INTO apppaths VALUES (18, '%LOCALAPPDATA%\Yandex\YandexBrowser\User Data\Default\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (18, '%LOCALAPPDATA%\Yandex\YandexBrowser\User Data\Default\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (18, '%LOCALAPPDATA%\Yandex\YandexBrowser\User Data\Default\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (18, '%LOCALAPPDATA%\Yandex\YandexBrowser\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (18, '%LOCALAPPDATA%\Yandex\YandexBrowser\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (18, '%LOCALAPPDATA%\Yandex\YandexBrowser\User Data\Default\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (18, '%LOCALAPPDATA%\Yandex\YandexBrowser\User Data\Default\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (18, '%LOCALAPPDATA%\Yandex\YandexBrowser\User Data\Default\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (18, '%LOCALAPPDATA%\Yandex\YandexBrowser\User Data\Default\IndexedDB\', NULL, 1, 0);
INSERT INTO apppaths VALUES (18, '%LOCALAPPDATA%\Yandex\YandexBrowser\User Data\Default\', 'DownloadMetadata', 0, 0);
INSERT INTO apppaths VALUES (18, '%LOCALAPPDATA%\Yandex\YandexBrowser\User Data\Default\shared_proto_db\', NULL, 1, 0);

-- 360 Extreme Browser (360极速浏览器, Chromium-based). Sources: public
-- browser-data inventories naming %LOCALAPPDATA%\360Chrome\Chrome\User Data;
-- the Chromium layout.
INSERT INTO apps VALUES (19, '360极速浏览器',
  '360极速浏览器的历史记录、Cookie、缓存、自动填充、网页存储和会话记录',
  '%LOCALAPPDATA%\360Chrome\Chrome\User Data', NULL, '360chrome.exe', NULL);
INSERT INTO apppaths VALUES (19, '%LOCALAPPDATA%\360Chrome\Chrome\User Data\Default\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (19, '%LOCALAPPDATA%\360Chrome\Chrome\User Data\Default\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (19, '%LOCALAPPDATA%\360Chrome\Chrome\User Data\Default\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (19, '%LOCALAPPDATA%\360Chrome\Chrome\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (19, '%LOCALAPPDATA%\360Chrome\Chrome\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (19, '%LOCALAPPDATA%\360Chrome\Chrome\User Data\Default\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (19, '%LOCALAPPDATA%\360Chrome\Chrome\User Data\Default\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (19, '%LOCALAPPDATA%\360Chrome\Chrome\User Data\Default\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (19, '%LOCALAPPDATA%\360Chrome\Chrome\User Data\Default\IndexedDB\', NULL, 1, 0);

-- Maxthon 6 (Chromium-based). Source: winapp2.ini entries "Maxthon Web
-- Browsing History", "Maxthon Caches" and the rest of its Chromium set
-- (%LOCALAPPDATA%\Maxthon\User Data); the Chromium layout. Executable:
-- %LOCALAPPDATA%\Maxthon\Application\Maxthon.exe, as public browser
-- launchers name it.
INSERT INTO apps VALUES (120, '傲游浏览器',
  '傲游浏览器的历史记录、Cookie、缓存、自动填充、网页存储和会话记录',
  '%LOCALAPPDATA%\Maxthon\User Data', NULL, 'Maxthon.exe', NULL);
INSERT INTO apppaths VALUES (120, '%LOCALAPPDATA%\Maxthon\User Data\Default\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (120, '%LOCALAPPDATA%\Maxthon\User Data\Default\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (120, '%LOCALAPPDATA%\Maxthon\User Data\Default\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (120, '%LOCALAPPDATA%\Maxthon\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (120, '%LOCALAPPDATA%\Maxthon\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (120, '%LOCALAPPDATA%\Maxthon\User Data\Default\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (120, '%LOCALAPPDATA%\Maxthon\User Data\Default\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (120, '%LOCALAPPDATA%\Maxthon\User Data\Default\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (120, '%LOCALAPPDATA%\Maxthon\User Data\Default\IndexedDB\', NULL, 1, 0);
INSERT INTO apppaths VALUES (120, '%LOCALAPPDATA%\Maxthon\User Data\Default\', 'DownloadMetadata', 0, 0);
INSERT INTO apppaths VALUES (120, '%LOCALAPPDATA%\Maxthon\User Data\Default\shared_proto_db\', NULL, 1, 0);

-- UC Browser (Chromium-based). Source: winapp2.ini entries "UC Web Browsing
-- History", "UC Caches" and the rest of its Chromium set (%LOCALAPPDATA%\UC\
-- User Data); the Chromium layout. Executable UCBrowser.exe, as public browser
-- launchers name it (%LOCALAPPDATA%\UCBrowser\Application\UCBrowser.exe).
INSERT INTO apps VALUES (121, 'UC浏览器',
  'UC浏览器的历史记录、Cookie、缓存、自动填充、网页存储和会话记录',
  '%LOCALAPPDATA%\UC\User Data', NULL, 'UCBrowser.exe', NULL);
INSERT INTO apppaths VALUES (121, '%LOCALAPPDATA%\UC\User Data\Default\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (121, '%LOCALAPPDATA%\UC\User Data\Default\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (121, '%LOCALAPPDATA%\UC\User Data\Default\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (121, '%LOCALAPPDATA%\UC\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (121, '%LOCALAPPDATA%\UC\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (121, '%LOCALAPPDATA%\UC\User Data\Default\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (121, '%LOCALAPPDATA%\UC\User Data\Default\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (121, '%LOCALAPPDATA%\UC\User Data\Default\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (121, '%LOCALAPPDATA%\UC\User Data\Default\IndexedDB\', NULL, 1, 0);
INSERT INTO apppaths VALUES (121, '%LOCALAPPDATA%\UC\User Data\Default\', 'DownloadMetadata', 0, 0);
INSERT INTO apppaths VALUES (121, '%LOCALAPPDATA%\UC\User Data\Default\shared_proto_db\', NULL, 1, 0);

-- Cent Browser (Chromium-based). Source: winapp2.ini entries "Cent Browser
-- Web Browsing History", "Cent Browser Caches" and the rest of its Chromium
-- set (%LOCALAPPDATA%\CentBrowser\User Data); the Chromium layout. Its
-- executable's name is not published where we could check: none is given, so
-- logoff does not end it.
INSERT INTO apps VALUES (122, 'Cent Browser',
  'Cent Browser（百分浏览器）的历史记录、Cookie、缓存、自动填充、网页存储和会话记录',
  '%LOCALAPPDATA%\CentBrowser\User Data', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (122, '%LOCALAPPDATA%\CentBrowser\User Data\Default\', 'History*;Archived History*;Visited Links;Top Sites*;Shortcuts*;Network Action Predictor*;Favicons*;DIPS*', 0, 0);
INSERT INTO apppaths VALUES (122, '%LOCALAPPDATA%\CentBrowser\User Data\Default\', 'Cookies*;Extension Cookies*;Login Data*;Web Data*;Current *;Last *', 0, 0);
INSERT INTO apppaths VALUES (122, '%LOCALAPPDATA%\CentBrowser\User Data\Default\Network\', 'Cookies*;Reporting and NEL*;TransportSecurity', 0, 0);
INSERT INTO apppaths VALUES (122, '%LOCALAPPDATA%\CentBrowser\User Data\Default\Sessions\', NULL, 1, 0);
INSERT INTO apppaths VALUES (122, '%LOCALAPPDATA%\CentBrowser\User Data\Default\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (122, '%LOCALAPPDATA%\CentBrowser\User Data\Default\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (122, '%LOCALAPPDATA%\CentBrowser\User Data\Default\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (122, '%LOCALAPPDATA%\CentBrowser\User Data\Default\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (122, '%LOCALAPPDATA%\CentBrowser\User Data\Default\IndexedDB\', NULL, 1, 0);
INSERT INTO apppaths VALUES (122, '%LOCALAPPDATA%\CentBrowser\User Data\Default\', 'DownloadMetadata', 0, 0);
INSERT INTO apppaths VALUES (122, '%LOCALAPPDATA%\CentBrowser\User Data\Default\shared_proto_db\', NULL, 1, 0);

-- Sogou Explorer (搜狗高速浏览器). Its profile folder %APPDATA%\SogouExplorer is
-- named by several public browser-data inventories and backup scripts; the
-- file names inside it are not documented anywhere we could check, so the
-- rule covers that one folder of the browser's own, not single files.
INSERT INTO apps VALUES (80, '搜狗高速浏览器',
  '搜狗浏览器的历史记录、Cookie、表单记录、缓存和会话记录（整个用户数据文件夹）',
  '%APPDATA%\SogouExplorer', NULL, 'SogouExplorer.exe', NULL);
INSERT INTO apppaths VALUES (80, '%APPDATA%\SogouExplorer\', NULL, 1, 0);

-- Pale Moon. Source: BleachBit cleaners/palemoon.xml; the Gecko profile layout.
INSERT INTO apps VALUES (82, 'Pale Moon',
  'Pale Moon 浏览器的历史记录、Cookie、表单记录、会话恢复和缓存',
  '%APPDATA%\Moonchild Productions\Pale Moon\profiles.ini', NULL, 'palemoon.exe', NULL);
INSERT INTO apppaths VALUES (82, '%APPDATA%\Moonchild Productions\Pale Moon\Profiles\*\', 'places.sqlite*;favicons.sqlite*;cookies.sqlite*;formhistory.sqlite*;permissions.sqlite*;content-prefs.sqlite*;webappsstore.sqlite*', 0, 0);
INSERT INTO apppaths VALUES (82, '%APPDATA%\Moonchild Productions\Pale Moon\Profiles\*\', 'sessionstore*;downloads.sqlite*', 0, 0);
INSERT INTO apppaths VALUES (82, '%APPDATA%\Moonchild Productions\Pale Moon\Profiles\*\sessionstore-backups\', NULL, 1, 0);
INSERT INTO apppaths VALUES (82, '%LOCALAPPDATA%\Moonchild Productions\Pale Moon\Profiles\', NULL, 1, 0);

-- SeaMonkey. Source: BleachBit cleaners/seamonkey.xml; the Gecko profile layout.
INSERT INTO apps VALUES (83, 'SeaMonkey',
  'SeaMonkey 的浏览历史、Cookie、表单记录、会话恢复和缓存',
  '%APPDATA%\Mozilla\SeaMonkey\profiles.ini', NULL, 'seamonkey.exe', NULL);
INSERT INTO apppaths VALUES (83, '%APPDATA%\Mozilla\SeaMonkey\Profiles\*\', 'places.sqlite*;favicons.sqlite*;cookies.sqlite*;formhistory.sqlite*;permissions.sqlite*;content-prefs.sqlite*;webappsstore.sqlite*', 0, 0);
INSERT INTO apppaths VALUES (83, '%APPDATA%\Mozilla\SeaMonkey\Profiles\*\', 'sessionstore*;downloads.sqlite*', 0, 0);
INSERT INTO apppaths VALUES (83, '%APPDATA%\Mozilla\SeaMonkey\Profiles\*\sessionstore-backups\', NULL, 1, 0);
INSERT INTO apppaths VALUES (83, '%LOCALAPPDATA%\Mozilla\SeaMonkey\Profiles\', NULL, 1, 0);

-- Safari for Windows (last release 5.1.7). Source: BleachBit
-- cleaners/safari_windows.xml.
INSERT INTO apps VALUES (85, 'Safari',
  'Windows 版 Safari 的浏览历史、上次会话、Cookie、网页预览和缓存',
  '%APPDATA%\Apple Computer\Safari', NULL, 'Safari.exe', NULL);
INSERT INTO apppaths VALUES (85, '%APPDATA%\Apple Computer\Safari\', 'History.plist', 0, 0);
INSERT INTO apppaths VALUES (85, '%APPDATA%\Apple Computer\Safari\', 'LastSession.plist', 0, 0);
INSERT INTO apppaths VALUES (85, '%APPDATA%\Apple Computer\Safari\Cookies\', 'Cookies.plist', 0, 0);
INSERT INTO apppaths VALUES (85, '%LOCALAPPDATA%\Apple Computer\Safari\', 'Cache.db*;WebpageIcons.db*', 0, 0);
INSERT INTO apppaths VALUES (85, '%LOCALAPPDATA%\Apple Computer\Safari\History\', NULL, 1, 0);
INSERT INTO apppaths VALUES (85, '%LOCALAPPDATA%\Apple Computer\Safari\Webpage Previews\', NULL, 1, 0);
INSERT INTO apppaths VALUES (85, '%LOCALAPPDATA%\Apple Computer\Safari\LocalStorage\', NULL, 1, 0);

-- ------------------------------------------------ Windows and its shell

-- Explorer. Sources: RegRipper 3.0 plugins userassist.pl, shellbags.pl,
-- muicache.pl, featureusage.pl, jumplistdata.pl (github.com/keydet89/RegRipper3.0);
-- SANS "Windows Forensic Analysis" poster (UserAssist, ShellBags, MUICache,
-- thumbcache); BleachBit cleaners/windows_explorer.xml.
INSERT INTO apps VALUES (20, 'Windows 资源管理器',
  '程序运行记录（UserAssist）、程序名称缓存、文件夹视图记录（ShellBags）、任务栏使用记录、映射网络驱动器记录和缩略图缓存',
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
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\FeatureUsage', NULL, 20);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Search\JumplistData', NULL, 20);
INSERT INTO apppaths VALUES (20, '%LOCALAPPDATA%\Microsoft\Windows\Explorer\', 'thumbcache_*.db*;iconcache_*.db*', 0, 0);
INSERT INTO apppaths VALUES (20, '%LOCALAPPDATA%\', 'IconCache.db*', 0, 0);

-- Recent items and jump lists. Sources: RegRipper recentdocs.pl; SANS
-- "Windows Forensic Analysis" poster (LNK files, Jump Lists).
INSERT INTO apps VALUES (21, '最近使用的文档',
  '“开始”菜单和跳转列表中最近打开过的文档及其快捷方式',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\RecentDocs', 'Recent', NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\RecentDocs', NULL, 21);
INSERT INTO apppaths VALUES (21, '%APPDATA%\Microsoft\Windows\Recent\', '*.lnk', 0, 0);
INSERT INTO apppaths VALUES (21, '%APPDATA%\Microsoft\Windows\Recent\', 'AutomaticDestinations\*.automaticDestinations-ms', 1, 0);
INSERT INTO apppaths VALUES (21, '%APPDATA%\Microsoft\Windows\Recent\', 'CustomDestinations\*.customDestinations-ms', 1, 0);

-- Run box. Source: RegRipper runmru.pl.
INSERT INTO apps VALUES (22, '“运行”对话框历史',
  '在“开始 - 运行”中输入过的命令',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\RunMRU', NULL, 22);

-- Typed paths. Source: RegRipper typedpaths.pl.
INSERT INTO apps VALUES (23, '资源管理器地址栏历史',
  '在资源管理器地址栏中输入过的路径',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\TypedPaths', NULL, 23);

-- Search history: Explorer's search box (Vista on), XP's search assistant and
-- the start menu's recently searched applications. Sources: RegRipper
-- wordwheelquery.pl, acmru.pl, recentapps.pl.
INSERT INTO apps VALUES (24, '文件搜索历史',
  '在资源管理器搜索框、“开始”菜单和搜索助手中输入过的关键词',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\WordWheelQuery', NULL, 24);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Search Assistant\ACMru', NULL, 24);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Search\RecentApps', NULL, 24);

-- Open and save dialogs. Source: RegRipper comdlg32.pl.
INSERT INTO apps VALUES (25, '打开/保存对话框历史',
  '各程序“打开”和“另存为”对话框中最近使用过的文件和文件夹',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\OpenSaveMRU', NULL, 25);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\LastVisitedMRU', NULL, 25);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\OpenSavePidlMRU', NULL, 25);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\LastVisitedPidlMRU', NULL, 25);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\CIDSizeMRU', NULL, 25);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\FirstFolder', NULL, 25);

-- The recycle bin: emptied through the shell, no rows of its own.
INSERT INTO apps VALUES (26, '回收站',
  '已删除到回收站中的文件',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer', NULL, NULL, NULL);

-- Temporary folder. Source: BleachBit cleaners/system.xml (tmp).
INSERT INTO apps VALUES (27, 'Windows 临时文件',
  '程序在临时文件夹中留下的文件',
  '%TEMP%', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (27, '%TEMP%\', NULL, 1, 0);

-- Prefetch. Source: SANS "Windows Forensic Analysis" poster (Prefetch).
INSERT INTO apps VALUES (28, 'Windows 预读文件',
  '系统为加快程序启动而记录的程序运行信息（Prefetch）',
  '%SystemRoot%\Prefetch', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (28, '%SystemRoot%\Prefetch\', '*.pf', 0, 0);

-- Windows Error Reporting. Source: Microsoft docs "WER Settings" and
-- "Collecting User-Mode Dumps" (learn.microsoft.com).
INSERT INTO apps VALUES (29, 'Windows 错误报告',
  '程序崩溃时生成的错误报告，其中含有打开过的文件和程序信息',
  '%LOCALAPPDATA%\Microsoft\Windows\WER', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (29, '%LOCALAPPDATA%\Microsoft\Windows\WER\', NULL, 1, 0);

-- Paint and WordPad. Sources: RegRipper applets.pl; BleachBit cleaners/paint.xml.
INSERT INTO apps VALUES (30, '画图和写字板',
  '“画图”和“写字板”最近打开过的文件列表',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Applets', NULL, 'mspaint.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Applets\Paint\Recent File List', NULL, 30);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Applets\Wordpad\Recent File List', NULL, 30);

-- Registry editor. Source: RegRipper applets.pl (Regedit LastKey).
INSERT INTO apps VALUES (31, '注册表编辑器',
  '注册表编辑器最后打开的位置和收藏夹',
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Applets\Regedit', NULL, 'regedit.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Applets\Regedit', 'LastKey', 31);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Windows\CurrentVersion\Applets\Regedit\Favorites', NULL, 31);

-- Remote Desktop Connection: the server list and the bitmap cache of the
-- screens seen. Sources: Microsoft docs "Remove entries from the Remote
-- Desktop Connection Computer box" (KB 312169); forensic references on the
-- RDP bitmap cache (Terminal Server Client\Cache, bcache*.bmc, cache*.bin).
INSERT INTO apps VALUES (32, '远程桌面连接',
  '连接过的远程计算机列表、上次连接的设置和远程画面的位图缓存',
  '%SystemRoot%\System32\mstsc.exe', NULL, 'mstsc.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Terminal Server Client\Default', NULL, 32);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Terminal Server Client\Servers', NULL, 32);
INSERT INTO apppaths VALUES (32, '%Personal%\', 'Default.rdp', 0, 1);
INSERT INTO apppaths VALUES (32, '%LOCALAPPDATA%\Microsoft\Terminal Server Client\Cache\', NULL, 1, 0);

-- Windows Media Player. Sources: RegRipper mpmru.pl (RecentFileList);
-- forensic references on the WMP library (CurrentDatabase_*.wmdb).
INSERT INTO apps VALUES (33, 'Windows Media Player',
  '最近播放过的文件和网址、媒体库数据库和专辑封面缓存',
  'HKLM\SOFTWARE\Microsoft\MediaPlayer', NULL, 'wmplayer.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\MediaPlayer\Player\RecentFileList', NULL, 33);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\MediaPlayer\Player\RecentURLList', NULL, 33);
INSERT INTO apppaths VALUES (33, '%LOCALAPPDATA%\Microsoft\Media Player\', 'CurrentDatabase_*.wmdb;LocalMLS_*.wmdb', 0, 0);
INSERT INTO apppaths VALUES (33, '%LOCALAPPDATA%\Microsoft\Media Player\Art Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (33, '%LOCALAPPDATA%\Microsoft\Media Player\Transcoded Files Cache\', NULL, 1, 0);

-- Windows 10 Timeline (activity history): the ActivitiesCache.db SQLite
-- database with its -wal and -shm files. Sources: forensic references on the
-- Windows 10 Timeline (ConnectedDevicesPlatform\<account>\ActivitiesCache.db);
-- Microsoft docs on activity history.
INSERT INTO apps VALUES (34, 'Windows 时间线',
  'Windows 10 活动历史记录中打开过的程序、文档和网页',
  '%LOCALAPPDATA%\ConnectedDevicesPlatform', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (34, '%LOCALAPPDATA%\ConnectedDevicesPlatform\*\', 'ActivitiesCache.db*', 0, 0);

-- Sticky Notes: StickyNotes.snt on Windows 7, plum.sqlite (with -wal and
-- -shm) in the Store app's folder on Windows 10. Sources: Microsoft support
-- "Sticky Notes" backup instructions; forensic references on plum.sqlite.
INSERT INTO apps VALUES (35, '便笺',
  'Windows 7 “便笺”中写下的内容',
  '%APPDATA%\Microsoft\Sticky Notes', NULL, 'StikyNot.exe', NULL);
INSERT INTO apppaths VALUES (35, '%APPDATA%\Microsoft\Sticky Notes\', 'StickyNotes.snt', 0, 0);
INSERT INTO apps VALUES (92, '便笺（Windows 10）',
  'Windows 10 “便笺”应用中写下的内容',
  '%LOCALAPPDATA%\Packages\Microsoft.MicrosoftStickyNotes_8wekyb3d8bbwe', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (92, '%LOCALAPPDATA%\Packages\Microsoft.MicrosoftStickyNotes_8wekyb3d8bbwe\LocalState\', 'plum.sqlite*', 0, 0);

-- User-mode crash dumps: the default folder of WER's LocalDumps. Source:
-- Microsoft docs "Collecting User-Mode Dumps" (DumpFolder default
-- %LOCALAPPDATA%\CrashDumps).
INSERT INTO apps VALUES (36, '程序崩溃转储',
  '程序崩溃时写下的内存转储文件，含有程序当时处理的数据',
  '%LOCALAPPDATA%\CrashDumps', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (36, '%LOCALAPPDATA%\CrashDumps\', '*.dmp', 0, 0);

-- Windows 11 Notepad keeps unsaved and open tabs. Source: forensic write-ups
-- on Notepad's TabState folder (2023).
INSERT INTO apps VALUES (37, '记事本（Windows 11）',
  'Windows 11 记事本保存的未保存标签页和打开过的文件状态',
  '%LOCALAPPDATA%\Packages\Microsoft.WindowsNotepad_8wekyb3d8bbwe', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (37, '%LOCALAPPDATA%\Packages\Microsoft.WindowsNotepad_8wekyb3d8bbwe\LocalState\TabState\', NULL, 1, 0);
INSERT INTO apppaths VALUES (37, '%LOCALAPPDATA%\Packages\Microsoft.WindowsNotepad_8wekyb3d8bbwe\LocalState\WindowState\', NULL, 1, 0);

-- Management console recent files. Source: RegRipper mmc.pl.
INSERT INTO apps VALUES (38, 'Microsoft 管理控制台',
  '管理控制台（MMC）最近打开过的控制台文件',
  'HKCU\Software\Microsoft\Microsoft Management Console', NULL, 'mmc.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Microsoft Management Console\Recent File List', NULL, 38);

-- PowerShell command history. Source: Microsoft docs about_PSReadLine
-- (HistorySavePath, %APPDATA%\Microsoft\Windows\PowerShell\PSReadLine).
INSERT INTO apps VALUES (39, 'PowerShell',
  'PowerShell 控制台中输入过的命令',
  '%APPDATA%\Microsoft\Windows\PowerShell', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (39, '%APPDATA%\Microsoft\Windows\PowerShell\PSReadLine\', '*_history.txt', 0, 0);

-- 360 Safe Guard (360安全卫士, and 360 Total Security on the same base): the
-- virus scan logs and the cleaner's own logs. Source: winapp2.ini entry "360
-- Internet Security" (detection key HKCU\Software\360Safe; %APPDATA%\360Safe\
-- 360ScanLog, %APPDATA%\360Safe\Clean\OKClean *.log). Its logs below the
-- program folder and C:\360SANDBOX are outside the user's profile and left
-- out. A security suite is never ended at logoff: no executable is given.
INSERT INTO apps VALUES (131, '360安全卫士',
  '360安全卫士的病毒扫描日志和清理日志',
  'HKCU\Software\360Safe', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (131, '%APPDATA%\360Safe\360ScanLog\', NULL, 0, 0);
INSERT INTO apppaths VALUES (131, '%APPDATA%\360Safe\Clean\OKClean\', '*.log', 0, 0);

-- Sogou Pinyin input (搜狗输入法): the per-user folder SogouPY.users holds the
-- user dictionary, the words it learnt from what was typed and the input
-- history; it is found in LocalLow, in the roaming or in the local folder.
-- Sources: public profile-migration scripts moving
-- %USERPROFILE%\AppData\LocalLow\SogouPY.users; input-method import tools
-- looking for %APPDATA%\SogouPY.users (and the local folder) as Sogou's user
-- data; public scripts reading HKCU\Software\SogouInput, the key the input
-- method keeps its settings under. An input method lives inside every
-- program: no executable is ended for it.
INSERT INTO apps VALUES (132, '搜狗输入法',
  '搜狗输入法的用户词库、自学习的词语和输入历史（清除后输入法不再记得您常打的词）',
  'HKCU\Software\SogouInput', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (132, '%USERPROFILE%\AppData\LocalLow\SogouPY.users\', NULL, 1, 0);
INSERT INTO apppaths VALUES (132, '%APPDATA%\SogouPY.users\', NULL, 1, 0);
INSERT INTO apppaths VALUES (132, '%LOCALAPPDATA%\SogouPY.users\', NULL, 1, 0);

-- ------------------------------------------------------- mail and chat

-- Outlook Express mail folders. Source: forensic references on Outlook
-- Express (Identities\{GUID}\Microsoft\Outlook Express\*.dbx).
INSERT INTO apps VALUES (40, 'Outlook Express',
  'Outlook Express 的邮件文件夹（*.dbx）。注意：这是邮件本身，勾选后按“清除”会将其永久删除',
  'HKLM\SOFTWARE\Microsoft\Outlook Express', NULL, 'msimn.exe', NULL);
INSERT INTO apppaths VALUES (40, '%USERPROFILE%\Local Settings\Application Data\Identities\', '*.dbx', 1, 0);

-- Windows Mail and Windows Live Mail keep the messages as .eml files beside
-- an ESE store (Mail.MSMessageStore with edb*.log and edb.chk), so the whole
-- store folder moves together. Source: forensic references on Windows
-- (Live) Mail message stores.
INSERT INTO apps VALUES (41, 'Windows Mail',
  'Windows Mail 收发的邮件及其邮件库。注意：这是邮件本身，勾选后按“清除”会将其永久删除',
  'HKLM\SOFTWARE\Microsoft\Windows Mail', NULL, 'WinMail.exe', NULL);
INSERT INTO apppaths VALUES (41, '%LOCALAPPDATA%\Microsoft\Windows Mail\', NULL, 1, 0);

INSERT INTO apps VALUES (42, 'Windows Live Mail',
  'Windows Live Mail 收发的邮件及其邮件库。注意：这是邮件本身，勾选后按“清除”会将其永久删除',
  'HKCU\Software\Microsoft\Windows Live Mail', NULL, 'wlmail.exe', NULL);
INSERT INTO apppaths VALUES (42, '%LOCALAPPDATA%\Microsoft\Windows Live Mail\', NULL, 1, 0);

-- Foxmail 6/7 keeps its mailboxes below its program folder. Source: Foxmail
-- help on mailbox storage (Storage\<account>\Mail, *.box/*.ind in older
-- versions); only mailbox files are named, never the program folder.
INSERT INTO apps VALUES (43, 'Foxmail',
  'Foxmail 保存在安装目录中的邮箱文件。注意：这是邮件本身，勾选后按“清除”会将其永久删除',
  'HKCU\Software\Aerofox\Foxmail', 'Executable', 'Foxmail.exe', NULL);
INSERT INTO apppaths VALUES (43, '%ProgramFiles%\Foxmail\', '*.box;*.ind', 1, 0);

-- QQ and TIM: chat databases and received files under the documents
-- folder's Tencent Files (Msg*.db with their journals), temporary files in
-- %APPDATA%\Tencent\QQ. Source: Tencent QQ help on the message-record folder
-- ("个人文件夹" = Documents\Tencent Files\<QQ number>).
INSERT INTO apps VALUES (44, 'QQ',
  'QQ 聊天记录数据库以及收到的图片、语音、视频和文件。注意：这是聊天记录本身，勾选后按“清除”会将其永久删除',
  '%APPDATA%\Tencent\QQ', NULL, 'QQ.exe', NULL);
INSERT INTO apppaths VALUES (44, '%Personal%\Tencent Files\', 'Msg*.db*', 1, 0);
INSERT INTO apppaths VALUES (44, '%Personal%\Tencent Files\*\Image\', NULL, 1, 0);
INSERT INTO apppaths VALUES (44, '%Personal%\Tencent Files\*\Audio\', NULL, 1, 0);
INSERT INTO apppaths VALUES (44, '%Personal%\Tencent Files\*\Video\', NULL, 1, 0);
INSERT INTO apppaths VALUES (44, '%Personal%\Tencent Files\*\FileRecv\', NULL, 1, 0);
INSERT INTO apppaths VALUES (44, '%APPDATA%\Tencent\QQ\Temp\', NULL, 1, 0);

-- WeChat: Documents\WeChat Files\<wxid>\Msg (chat databases) and
-- FileStorage (received files); the client's log folder. Sources: WeChat
-- help "聊天记录保存位置" (Settings - Files: default Documents\WeChat Files);
-- public documentation of the PC client's databases (PyWxDump "wx数据库简述":
-- everything in WeChat Files\wxid_*\Msg); winapp2.ini entry "Tencent
-- WeChat" (%APPDATA%\Tencent\WeChat\Log).
INSERT INTO apps VALUES (45, '微信',
  '微信聊天记录数据库、收到的图片、视频和文件以及运行日志。注意：这是聊天记录本身，勾选后按“清除”会将其永久删除',
  'HKCU\Software\Tencent\WeChat', NULL, 'WeChat.exe', NULL);
INSERT INTO apppaths VALUES (45, '%Personal%\WeChat Files\*\Msg\', NULL, 1, 0);
INSERT INTO apppaths VALUES (45, '%Personal%\WeChat Files\*\FileStorage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (45, '%APPDATA%\Tencent\WeChat\Log\', NULL, 1, 0);

-- WeChat 4 (Weixin.exe) keeps each account under Documents\xwechat_files\
-- <wxid>: db_storage (the encrypted chat databases) and msg (received files,
-- pictures and videos, by month). Sources: public WeChat 4 export tools'
-- documented defaults (xwechat_files\<wxid>\db_storage; msg\file\<month>)
-- and their process name Weixin.exe (C:\Program Files\Tencent\Weixin).
-- Where the user moved the folder, nothing is found.
INSERT INTO apps VALUES (123, '微信（4.x 版）',
  '新版微信的聊天记录数据库以及收到的图片、视频和文件。注意：这是聊天记录本身，勾选后按“清除”会将其永久删除',
  '%USERPROFILE%\Documents\xwechat_files', NULL, 'Weixin.exe', NULL);
INSERT INTO apppaths VALUES (123, '%Personal%\xwechat_files\*\db_storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (123, '%Personal%\xwechat_files\*\msg\', NULL, 1, 0);

-- QQNT (QQ 9.9 on): every account's databases (nt_msg.db and the others,
-- encrypted SQLite) in Documents\Tencent Files\<QQ number>\nt_qq\nt_db,
-- taken as a whole folder so their companions go along. Sources: the
-- README of github.com/Mythologyli/qq-nt-db ("QQ NT Windows 数据库解密",
-- 数据库位置 C:\Users\<USERNAME>\Documents\Tencent Files\<QQ>\nt_qq\nt_db,
-- the program in C:\Program Files\Tencent\QQNT) and public readers of
-- nt_msg.db naming the same path. Received pictures and files of QQNT are
-- left out: their folders are only recorded inside files_in_chat.db, not
-- documented where we could check.
INSERT INTO apps VALUES (124, 'QQ（QQNT 版）',
  'QQNT 的聊天记录数据库。注意：这是聊天记录本身，勾选后按“清除”会将其永久删除',
  '%USERPROFILE%\Documents\Tencent Files', NULL, 'QQ.exe', NULL);
INSERT INTO apppaths VALUES (124, '%Personal%\Tencent Files\*\nt_qq\nt_db\', NULL, 1, 0);

-- WeCom (企业微信): per account Documents\WXWork\<account id>\Data (the
-- encrypted chat databases) and Cache (received files, pictures, videos and
-- voice, by month); the client's log folder. Sources: winapp2.ini entry
-- "Tencent WeChat Work" (detection key HKCU\Software\Tencent\WXWork,
-- %APPDATA%\Tencent\WXWork\Log); public WeCom attachment tools documenting
-- the folder layout (Documents\WXWork\<id>\Data, Cache\File, Cache\Image,
-- Cache\Video, Cache\Voice) and the program WXWork.exe.
INSERT INTO apps VALUES (125, '企业微信',
  '企业微信的聊天记录数据库、收到的文件、图片、视频和语音以及运行日志。注意：这是聊天记录本身，勾选后按“清除”会将其永久删除',
  'HKCU\Software\Tencent\WXWork', NULL, 'WXWork.exe', NULL);
INSERT INTO apppaths VALUES (125, '%Personal%\WXWork\*\Data\', NULL, 1, 0);
INSERT INTO apppaths VALUES (125, '%Personal%\WXWork\*\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (125, '%APPDATA%\Tencent\WXWork\Log\', NULL, 1, 0);

-- Skype 7 and earlier: main.db (SQLite, with its journal) per account and
-- the older chatmsg*.dbb and chatsync files. Sources: BleachBit
-- cleaners/skype.xml (chatmsg, chatsync); forensic references on Skype's
-- main.db.
INSERT INTO apps VALUES (46, 'Skype',
  'Skype 聊天记录和通话记录数据库。注意：这是聊天记录本身，勾选后按“清除”会将其永久删除',
  'HKCU\Software\Skype', NULL, 'Skype.exe', NULL);
INSERT INTO apppaths VALUES (46, '%APPDATA%\Skype\', 'main.db*;chatmsg*.dbb', 1, 0);
INSERT INTO apppaths VALUES (46, '%APPDATA%\Skype\*\chatsync\', NULL, 1, 0);

-- Thunderbird: the Gecko profile (global-messages-db.sqlite, cookies,
-- history) and its mail cache. Source: Mozilla support "Profiles - Where
-- Thunderbird stores your messages and other user data".
INSERT INTO apps VALUES (47, 'Mozilla Thunderbird',
  'Thunderbird 的邮件搜索库、Cookie、浏览记录和缓存',
  '%APPDATA%\Thunderbird\profiles.ini', NULL, 'thunderbird.exe', NULL);
INSERT INTO apppaths VALUES (47, '%APPDATA%\Thunderbird\Profiles\*\', 'global-messages-db.sqlite*;places.sqlite*;cookies.sqlite*;formhistory.sqlite*;session.json*', 0, 0);
INSERT INTO apppaths VALUES (47, '%LOCALAPPDATA%\Thunderbird\Profiles\', NULL, 1, 0);

-- Telegram Desktop: everything in the tdata folder, and the log files beside
-- it. Sources: Telegram Desktop FAQ (desktop.telegram.org: the tdata folder in
-- %APPDATA%\Telegram Desktop); winapp2.ini entry "Telegram Desktop"
-- (log*.txt, tdata\dumps, tdata\User_Data caches).
INSERT INTO apps VALUES (48, 'Telegram',
  'Telegram 桌面版的登录数据、聊天缓存、收到的媒体缓存和日志。注意：其中有本机保存的聊天内容，勾选后按“清除”会将其永久删除，并需要重新登录',
  '%APPDATA%\Telegram Desktop', NULL, 'Telegram.exe', NULL);
INSERT INTO apppaths VALUES (48, '%APPDATA%\Telegram Desktop\tdata\', NULL, 1, 0);
INSERT INTO apppaths VALUES (48, '%APPDATA%\Telegram Desktop\', 'log*.txt', 0, 0);

-- Discord. Source: BleachBit cleaners/discord.xml.
INSERT INTO apps VALUES (49, 'Discord',
  'Discord 的网页缓存、Cookie 和会话存储',
  '%APPDATA%\discord', NULL, 'Discord.exe', NULL);
INSERT INTO apppaths VALUES (49, '%APPDATA%\discord\', 'Cookies*', 0, 0);
INSERT INTO apppaths VALUES (49, '%APPDATA%\discord\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (49, '%APPDATA%\discord\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (49, '%APPDATA%\discord\GPUCache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (49, '%APPDATA%\discord\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (49, '%APPDATA%\discord\Local Storage\', NULL, 1, 0);

-- Slack. Source: BleachBit cleaners/slack.xml.
INSERT INTO apps VALUES (84, 'Slack',
  'Slack 的网页缓存、Cookie、本地存储和会话存储',
  '%APPDATA%\Slack', NULL, 'slack.exe', NULL);
INSERT INTO apppaths VALUES (84, '%APPDATA%\Slack\', 'Cookies*', 0, 0);
INSERT INTO apppaths VALUES (84, '%APPDATA%\Slack\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (84, '%APPDATA%\Slack\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (84, '%APPDATA%\Slack\GPUCache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (84, '%APPDATA%\Slack\Session Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (84, '%APPDATA%\Slack\Local Storage\', NULL, 1, 0);

-- Pidgin chat logs and buddy icons. Source: BleachBit cleaners/pidgin.xml.
INSERT INTO apps VALUES (88, 'Pidgin',
  'Pidgin 的聊天记录和好友头像缓存。注意：这是聊天记录本身，勾选后按“清除”会将其永久删除',
  '%APPDATA%\.purple', NULL, 'pidgin.exe', NULL);
INSERT INTO apppaths VALUES (88, '%APPDATA%\.purple\logs\', NULL, 1, 0);
INSERT INTO apppaths VALUES (88, '%APPDATA%\.purple\icons\', NULL, 1, 0);

-- Microsoft Teams (classic): the cache folders that Microsoft's own
-- instructions clear. Source: Microsoft Learn "Clear the Teams client cache".
INSERT INTO apps VALUES (91, 'Microsoft Teams',
  'Teams 的网页缓存、本地数据库和会话存储',
  '%APPDATA%\Microsoft\Teams', NULL, 'Teams.exe', NULL);
INSERT INTO apppaths VALUES (91, '%APPDATA%\Microsoft\Teams\Application Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (91, '%APPDATA%\Microsoft\Teams\blob_storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (91, '%APPDATA%\Microsoft\Teams\Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (91, '%APPDATA%\Microsoft\Teams\Code Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (91, '%APPDATA%\Microsoft\Teams\databases\', NULL, 1, 0);
INSERT INTO apppaths VALUES (91, '%APPDATA%\Microsoft\Teams\GPUCache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (91, '%APPDATA%\Microsoft\Teams\IndexedDB\', NULL, 1, 0);
INSERT INTO apppaths VALUES (91, '%APPDATA%\Microsoft\Teams\Local Storage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (91, '%APPDATA%\Microsoft\Teams\tmp\', NULL, 1, 0);

-- ------------------------------------------------------------- office

-- Office MRU lists per application and version: 11.0 = 2003, 12.0 = 2007,
-- 14.0 = 2010, 15.0 = 2013, 16.0 = 2016/2019/2021/365. 2003 keeps Excel's
-- list in "Recent Files" and PowerPoint's in "Recent File List"; 2007 on
-- use "File MRU", 2010 on add "Place MRU", 2013 on keep signed-in users'
-- lists below "User MRU". Sources: BleachBit cleaners/microsoft_office.xml;
-- RegRipper msoffice.pl/officedocs plugins; Microsoft docs on the Office
-- document cache (Upload Center) and Office diagnostics logs.
INSERT INTO apps VALUES (50, 'Microsoft Office 公共',
  'Office 最近使用的文件快捷方式、打开和另存为对话框记录、Office 文档缓存和诊断日志',
  'HKCU\Software\Microsoft\Office', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\10.0\Common\Open Find', NULL, 50);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\11.0\Common\Open Find', NULL, 50);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Common\Open Find', NULL, 50);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\11.0\Common\Internet\Server Cache', NULL, 50);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Common\HelpViewer\MRU Query', NULL, 50);
INSERT INTO apppaths VALUES (50, '%APPDATA%\Microsoft\Office\Recent\', NULL, 0, 0);
INSERT INTO apppaths VALUES (50, '%LOCALAPPDATA%\Microsoft\Office\15.0\OfficeFileCache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (50, '%LOCALAPPDATA%\Microsoft\Office\16.0\OfficeFileCache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (50, '%LOCALAPPDATA%\Microsoft\Office\OffDiag\', NULL, 1, 0);

INSERT INTO apps VALUES (51, 'Microsoft Word',
  'Word 2003 至 2021 最近打开过的文档和位置列表以及自动恢复文件',
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Winword.exe', NULL, 'WINWORD.EXE', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\11.0\Word\File MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Word\File MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\Word\File MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\Word\Place MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Word\File MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Word\Place MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Word\File MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Word\Place MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Word\User MRU', NULL, 51);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Word\User MRU', NULL, 51);
INSERT INTO apppaths VALUES (51, '%APPDATA%\Microsoft\Word\', '*.asd;*.wbk', 1, 0);

INSERT INTO apps VALUES (52, 'Microsoft Excel',
  'Excel 2003 至 2021 最近打开过的工作簿和位置列表以及自动恢复文件',
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\excel.exe', NULL, 'EXCEL.EXE', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\11.0\Excel\Recent Files', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Excel\File MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\Excel\File MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\Excel\Place MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Excel\File MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Excel\Place MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Excel\File MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Excel\Place MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Excel\User MRU', NULL, 52);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Excel\User MRU', NULL, 52);
INSERT INTO apppaths VALUES (52, '%APPDATA%\Microsoft\Excel\', '*.xar', 1, 0);

INSERT INTO apps VALUES (53, 'Microsoft PowerPoint',
  'PowerPoint 2003 至 2021 最近打开过的演示文稿和位置列表以及自动恢复文件',
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\powerpnt.exe', NULL, 'POWERPNT.EXE', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\11.0\PowerPoint\Recent File List', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\PowerPoint\File MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\PowerPoint\File MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\PowerPoint\Place MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\PowerPoint\File MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\PowerPoint\Place MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\PowerPoint\File MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\PowerPoint\Place MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\PowerPoint\User MRU', NULL, 53);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\PowerPoint\User MRU', NULL, 53);
INSERT INTO apppaths VALUES (53, '%APPDATA%\Microsoft\PowerPoint\', NULL, 1, 0);

-- Access 2007 keeps its list as values MRU1-9 and MRUDate1-9 of Settings;
-- 2010 on use the lists above. Source: BleachBit cleaners/microsoft_office.xml.
INSERT INTO apps VALUES (57, 'Microsoft Access',
  'Access 2007 至 2021 最近打开过的数据库列表',
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\MSACCESS.EXE', NULL, 'MSACCESS.EXE', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRU1', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRUDate1', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRU2', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRUDate2', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRU3', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRUDate3', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRU4', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRUDate4', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRU5', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRUDate5', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRU6', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRUDate6', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRU7', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRUDate7', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRU8', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRUDate8', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRU9', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Access\Settings', 'MRUDate9', 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\Access\File MRU', NULL, 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\14.0\Access\Place MRU', NULL, 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Access\File MRU', NULL, 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Access\Place MRU', NULL, 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Access\File MRU', NULL, 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Access\Place MRU', NULL, 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\15.0\Access\User MRU', NULL, 57);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\16.0\Access\User MRU', NULL, 57);

-- Publisher 2000-2007: "Recent File List". Source: BleachBit
-- cleaners/microsoft_office.xml. Later versions' lists are not listed there
-- and are left out.
INSERT INTO apps VALUES (58, 'Microsoft Publisher',
  'Publisher 最近打开过的出版物列表',
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\MSPUB.EXE', NULL, 'MSPUB.EXE', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\9.0\Publisher\Recent File List', NULL, 58);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\10.0\Publisher\Recent File List', NULL, 58);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\11.0\Publisher\Recent File List', NULL, 58);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Publisher\Recent File List', NULL, 58);

-- Visio 2007: values LastFile1-9 of Application. Source: BleachBit
-- cleaners/microsoft_office.xml. Later versions are left out (not verified).
INSERT INTO apps VALUES (59, 'Microsoft Visio',
  'Visio 2007 最近打开过的绘图列表',
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\VISIO.EXE', NULL, 'VISIO.EXE', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Visio\Application', 'LastFile1', 59);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Visio\Application', 'LastFile2', 59);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Visio\Application', 'LastFile3', 59);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Visio\Application', 'LastFile4', 59);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Visio\Application', 'LastFile5', 59);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Visio\Application', 'LastFile6', 59);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Visio\Application', 'LastFile7', 59);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Visio\Application', 'LastFile8', 59);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\Office\12.0\Visio\Application', 'LastFile9', 59);

-- FrontPage. Source: BleachBit cleaners/microsoft_office.xml.
INSERT INTO apps VALUES (64, 'Microsoft FrontPage',
  'FrontPage 最近打开过的网页、网站和服务器列表',
  'HKCU\Software\Microsoft\FrontPage', NULL, 'FRONTPG.EXE', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\FrontPage\Editor\Recently Used URLs', NULL, 64);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\FrontPage\Explorer\FrontPage Explorer\Recent File List', NULL, 64);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\FrontPage\Explorer\FrontPage Explorer\Recently Created Servers', NULL, 64);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\FrontPage\Explorer\FrontPage Explorer\Recent Page List', NULL, 64);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Microsoft\FrontPage\Explorer\FrontPage Explorer\Recent Web List', NULL, 64);

-- WPS Office: the automatic backups, the recent-document lists of the suite
-- and of each program (Writer "wps", Spreadsheets "et", Presentation "wpp",
-- PDF "pdf"), the file dialog's recent folders, and the cached web pages of
-- its cloud and start pages. Sources: WPS help on backup files
-- (%APPDATA%\kingsoft\office6\backup); winapp2.ini entry "Kingsoft Office"
-- (%LOCALAPPDATA%\Kingsoft\*\cache\http*, WPS Cloud Files\UserData\Default\
-- WebCache\http*); a public privacy cleaner's Windows registry targets for
-- WPS (Software\Kingsoft\Office\6.0\plugins\ksomisc\RecentFiles\wpsoffice
-- and its wps/et/wpp/pdf lists, 6.0\<program>\RecentFiles, 6.0\Common\
-- FileDialog\RecentFolder), confirmed for 6.0\wps\RecentFiles by an older
-- published WPS 2005 history cleaner. The cloud documents themselves (WPS
-- Cloud Files outside WebCache) are the user's files and are left out.
INSERT INTO apps VALUES (54, 'WPS Office',
  'WPS 文字、表格、演示和 PDF 最近打开过的文档和文件夹列表、自动备份文件以及云文档和首页的网页缓存',
  'HKCU\Software\Kingsoft\Office', NULL, 'wps.exe', NULL);
INSERT INTO apppaths VALUES (54, '%APPDATA%\kingsoft\office6\backup\', NULL, 1, 0);
INSERT INTO apppaths VALUES (54, '%LOCALAPPDATA%\Kingsoft\*\cache\http*\', NULL, 1, 0);
INSERT INTO apppaths VALUES (54, '%LOCALAPPDATA%\Kingsoft\WPS Cloud Files\UserData\Default\WebCache\', NULL, 1, 0);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Kingsoft\Office\6.0\plugins\ksomisc\RecentFiles\wpsoffice', NULL, 54);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Kingsoft\Office\6.0\plugins\ksomisc\RecentFiles\wps', NULL, 54);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Kingsoft\Office\6.0\plugins\ksomisc\RecentFiles\et', NULL, 54);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Kingsoft\Office\6.0\plugins\ksomisc\RecentFiles\wpp', NULL, 54);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Kingsoft\Office\6.0\plugins\ksomisc\RecentFiles\pdf', NULL, 54);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Kingsoft\Office\6.0\wps\RecentFiles', NULL, 54);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Kingsoft\Office\6.0\et\RecentFiles', NULL, 54);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Kingsoft\Office\6.0\wpp\RecentFiles', NULL, 54);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Kingsoft\Office\6.0\pdf\RecentFiles', NULL, 54);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Kingsoft\Office\6.0\Common\FileDialog\RecentFolder', NULL, 54);

-- LibreOffice keeps its recent documents in registrymodifications.xcu, which
-- is copied onto the virtual disk; the backup folder holds autosaved copies.
-- Source: BleachBit cleaners/libreoffice.xml; LibreOffice help "User profile".
INSERT INTO apps VALUES (65, 'LibreOffice',
  'LibreOffice 最近打开过的文档列表和自动恢复副本',
  '%APPDATA%\LibreOffice', NULL, 'soffice.bin', NULL);
INSERT INTO apppaths VALUES (65, '%APPDATA%\LibreOffice\4\user\', 'registrymodifications.xcu', 0, 1);
INSERT INTO apppaths VALUES (65, '%APPDATA%\LibreOffice\4\user\backup\', NULL, 1, 0);

-- ------------------------------------------------------- PDF readers

-- Adobe Reader 9 to DC. Sources: RegRipper adoberdr.pl; BleachBit
-- cleaners/adobe_reader.xml.
INSERT INTO apps VALUES (55, 'Adobe Reader',
  'Adobe Reader 最近打开过的 PDF 文档和文件夹列表',
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\AcroRd32.exe', 'Path', 'AcroRd32.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Acrobat Reader\9.0\AVGeneral\cRecentFiles', NULL, 55);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Acrobat Reader\10.0\AVGeneral\cRecentFiles', NULL, 55);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Acrobat Reader\11.0\AVGeneral\cRecentFiles', NULL, 55);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Acrobat Reader\DC\AVGeneral\cRecentFiles', NULL, 55);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Acrobat Reader\DC\AVGeneral\cRecentFolders', NULL, 55);

-- Adobe Acrobat (full). Source: RegRipper adobe.pl (Adobe Acrobat versions
-- below Software\Adobe\Adobe Acrobat, AVGeneral\cRecentFiles).
INSERT INTO apps VALUES (74, 'Adobe Acrobat',
  'Adobe Acrobat 最近打开过的 PDF 文档和文件夹列表',
  'HKCU\Software\Adobe\Adobe Acrobat', NULL, 'Acrobat.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Adobe Acrobat\9.0\AVGeneral\cRecentFiles', NULL, 74);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Adobe Acrobat\10.0\AVGeneral\cRecentFiles', NULL, 74);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Adobe Acrobat\11.0\AVGeneral\cRecentFiles', NULL, 74);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Adobe Acrobat\DC\AVGeneral\cRecentFiles', NULL, 74);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Adobe\Adobe Acrobat\DC\AVGeneral\cRecentFolders', NULL, 74);

-- SumatraPDF keeps its file history in SumatraPDF-settings.txt (installed:
-- %LOCALAPPDATA%\SumatraPDF), copied onto the virtual disk. Source: SumatraPDF
-- manual "Settings" (sumatrapdfreader.org/docs).
INSERT INTO apps VALUES (68, 'SumatraPDF',
  'SumatraPDF 打开过的文件列表和阅读位置',
  '%LOCALAPPDATA%\SumatraPDF', NULL, 'SumatraPDF.exe', NULL);
INSERT INTO apppaths VALUES (68, '%LOCALAPPDATA%\SumatraPDF\', 'SumatraPDF-settings.txt', 0, 1);
INSERT INTO apppaths VALUES (68, '%LOCALAPPDATA%\SumatraPDF\sumatrapdfcache\', NULL, 1, 0);

-- PDF-XChange Viewer/Editor. Source: winapp2.ini entry "PDF-XChange"
-- (github.com/MoscaDotTo/Winapp2, Entries/P.ini).
INSERT INTO apps VALUES (69, 'PDF-XChange',
  'PDF-XChange 最近打开过的文档列表',
  'HKCU\Software\Tracker Software', NULL, 'PDFXEdit.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Tracker Software\PDFViewer\Documents\LastOpened', NULL, 69);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Tracker Software\PDFViewer\Documents\LatestView\Bars', NULL, 69);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Tracker Software\PDFViewer\Documents\LatestView\Panes', NULL, 69);

-- Foxit Reader, PhantomPDF and PDF Editor: the recent-file and recent-place
-- lists, the last session and open folder, the form fields' autocomplete
-- store and the search index. Source: winapp2.ini entries "Foxit Reader",
-- "Foxit PhantomPDF" and "Foxit PDF Editor" (registry keys below
-- HKCU\Software\Foxit Software, FormFiller\AutoComplete.ds, StartPage
-- history.txt, LocalLow\Foxit\Search); the program names FoxitReader.exe and
-- FoxitPDFReader.exe as public launchers give them (the older one is ended
-- at logoff). Versions whose keys are not listed there are left out.
INSERT INTO apps VALUES (126, '福昕 PDF 阅读器和编辑器',
  '福昕阅读器、PhantomPDF 和 PDF 编辑器最近打开过的文档和位置列表、上次会话、表单自动完成记录和搜索索引',
  'HKCU\Software\Foxit Software', NULL, 'FoxitReader.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit Reader 7.0\MRU', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit Reader 8.0\MRU\File MRU', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit Reader 8.0\MRU\Place MRU', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit Reader 8.0\Preferences\History\LastOpen', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit Reader 8.0\Preferences\History\LastSession', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit Reader 8.0\Preferences\Others', 'csInitialOpenDir', 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 6.0\RecentFiles', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 6.0\Preferences\History', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 6.0\Preferences\Others', 'csInitialOpenDir', 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 7.0\MRU\File MRU', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 7.0\MRU\Place MRU', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 7.0\Preferences\History', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 7.0\Recent File List', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 8.0\MRU\File MRU', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 8.0\MRU\Place MRU', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 8.0\Preferences\History', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 8.0\Recent File List', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 9.0\MRU\File MRU', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 9.0\MRU\Place MRU', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 9.0\Preferences\History', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 9.0\Recent File List', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 8.0\Foxit PhantomPDF Advanced Editor\Recent File List', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PhantomPDF 9.0\Foxit PhantomPDF Advanced Editor\Recent File List', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PDF Editor 11.0\MRU\File MRU', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PDF Editor 11.0\MRU\Place MRU', NULL, 126);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Foxit Software\Foxit PDF Editor 11.0\Preferences\History', NULL, 126);
INSERT INTO apppaths VALUES (126, '%APPDATA%\Foxit Software\Foxit Reader\StartPage*\Start\', 'history.txt', 0, 0);
INSERT INTO apppaths VALUES (126, '%APPDATA%\Foxit Software\Foxit PhantomPDF\FormFiller\', 'AutoComplete.ds', 0, 0);
INSERT INTO apppaths VALUES (126, '%APPDATA%\Foxit Software\Foxit PDF Editor\FormFiller\', 'AutoComplete.ds', 0, 0);
INSERT INTO apppaths VALUES (126, '%USERPROFILE%\AppData\LocalLow\Foxit\Search\', NULL, 1, 0);

-- ------------------------------------------------ archives and tools

-- WinRAR: the recent archives (ArcHistory, the File menu's list), the edit
-- histories of its dialogs (archive names, extraction paths, comment files,
-- the find dialog's names and text, the wizard's archive names), the last
-- folder, and the self-extractor's last paths. Sources: RegRipper winrar.pl;
-- BleachBit cleaners/winrar.xml; winapp2.ini entry "WinRAR".
INSERT INTO apps VALUES (60, 'WinRAR',
  'WinRAR 最近打开过的压缩文件和文件夹以及压缩、解压、查找和注释时输入过的名称和路径',
  'HKCU\Software\WinRAR', NULL, 'WinRAR.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\ArcHistory', NULL, 60);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\DialogEditHistory\ArcName', NULL, 60);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\DialogEditHistory\ExtrPath', NULL, 60);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\DialogEditHistory\ArcCmtName', NULL, 60);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\DialogEditHistory\FindArcNames', NULL, 60);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\DialogEditHistory\FindNames', NULL, 60);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\DialogEditHistory\FindText', NULL, 60);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\DialogEditHistory\WizArcName', NULL, 60);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\General', 'LastFolder', 60);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR\General\Info', 'CommentFile', 60);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\WinRAR SFX', NULL, 60);

-- 7-Zip. Source: RegRipper sevenzip.pl.
INSERT INTO apps VALUES (61, '7-Zip',
  '7-Zip 文件管理器浏览过的文件夹以及压缩和解压时使用过的路径',
  'HKCU\Software\7-Zip', NULL, '7zFM.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\7-Zip\Compression', 'ArcHistory', 61);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\7-Zip\Extraction', 'PathHistory', 61);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\7-Zip\FM', 'FolderHistory', 61);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\7-Zip\FM', 'CopyHistory', 61);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\7-Zip\FM', 'PanelPath0', 61);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\7-Zip\FM', 'PanelPath1', 61);

-- Total Commander. Source: Total Commander help "wincmd.ini" ([left]/[right] path).
INSERT INTO apps VALUES (62, 'Total Commander',
  'Total Commander 左右窗口最后停留的文件夹',
  'HKCU\Software\Ghisler\Total Commander', 'InstallDir', 'TOTALCMD.EXE', '%APPDATA%\GHISLER\wincmd.ini');
INSERT INTO profiles VALUES (62, 'path', '%USERPROFILE%\', 'left');
INSERT INTO profiles VALUES (62, 'path', '%USERPROFILE%\', 'right');

-- Thunder (迅雷) 7: the task database of completed and unfinished downloads
-- (Profiles\TaskDb.dat, SQLite, with its journal) and the SuperDownload
-- database (data\SdInfoDb.dat), both below its program folder. Sources:
-- Thunder help on the download-record database; ForensicsWiki "Fast Thunder"
-- (Task database Profiles\TaskDb.dat with TaskBase.CreationTime and
-- CompletionTime; SuperDownload database data\SdInfoDb.dat). The copy of the
-- task folder that some Vista-era installs keep in the public documents is
-- outside the user's profile and left out.
INSERT INTO apps VALUES (63, '迅雷',
  '迅雷已完成和未完成的下载任务记录',
  'HKLM\SOFTWARE\Thunder Network\ThunderOem\thunder_backwnd', 'dir', 'Thunder.exe', NULL);
INSERT INTO apppaths VALUES (63, '%ProgramFiles%\Thunder Network\Thunder\', 'TaskDb.dat*;SdInfoDb.dat*', 1, 0);

-- WinZip. Source: RegRipper winzip.pl (extract, filemenu, mru\archives).
INSERT INTO apps VALUES (75, 'WinZip',
  'WinZip 最近打开过的压缩文件和解压路径',
  'HKCU\Software\Nico Mak Computing\WinZip', NULL, 'winzip32.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Nico Mak Computing\WinZip\extract', NULL, 75);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Nico Mak Computing\WinZip\filemenu', NULL, 75);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Nico Mak Computing\WinZip\mru\archives', NULL, 75);

-- Everything (voidtools): search and run history files. Source: voidtools
-- support "Search History" and "Run History" (Run History.csv, Search
-- History.csv in %APPDATA%\Everything).
INSERT INTO apps VALUES (111, 'Everything',
  'Everything 搜索过的关键词和打开过的文件记录',
  '%APPDATA%\Everything', NULL, 'Everything.exe', NULL);
INSERT INTO apppaths VALUES (111, '%APPDATA%\Everything\', 'Run History.csv', 0, 0);
INSERT INTO apppaths VALUES (111, '%APPDATA%\Everything\', 'Search History.csv', 0, 0);

-- ------------------------------------------------------------ media

-- PotPlayer's remembered files. Source: PotPlayer's own registry layout as
-- published in user guides (HKCU\Software\DAUM\PotPlayerMini*\RememberFiles).
INSERT INTO apps VALUES (70, 'PotPlayer',
  'PotPlayer 记住的播放过的文件和播放位置',
  'HKCU\Software\DAUM', NULL, 'PotPlayerMini.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\DAUM\PotPlayerMini\RememberFiles', NULL, 70);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\DAUM\PotPlayerMini64\RememberFiles', NULL, 70);

-- VLC. Sources: VideoLAN wiki "Preferences" (vlc-qt-interface.ini holds the
-- recent list); BleachBit cleaners/vlc.xml.
INSERT INTO apps VALUES (71, 'VLC 媒体播放器',
  'VLC 最近播放过的文件列表和媒体库',
  'HKLM\SOFTWARE\VideoLAN\VLC', NULL, 'vlc.exe', NULL);
INSERT INTO apppaths VALUES (71, '%APPDATA%\vlc\', 'vlc-qt-interface.ini', 0, 1);
INSERT INTO apppaths VALUES (71, '%APPDATA%\vlc\', 'ml.xspf', 0, 0);
INSERT INTO apppaths VALUES (71, '%APPDATA%\vlc\art\', NULL, 1, 0);

-- Winamp. Source: Winamp help (winamp.m3u/m3u8 in %APPDATA%\Winamp).
INSERT INTO apps VALUES (72, 'Winamp',
  'Winamp 上次播放的播放列表',
  'HKCU\Software\Winamp', NULL, 'winamp.exe', NULL);
INSERT INTO apppaths VALUES (72, '%APPDATA%\Winamp\', 'winamp.m3u*', 0, 0);

-- NetEase Cloud Music cache. Source: NetEase Cloud Music settings ("缓存目录"
-- default %LOCALAPPDATA%\Netease\CloudMusic\Cache).
INSERT INTO apps VALUES (73, '网易云音乐',
  '网易云音乐缓存的歌曲和网页数据',
  '%LOCALAPPDATA%\Netease\CloudMusic', NULL, 'cloudmusic.exe', NULL);
INSERT INTO apppaths VALUES (73, '%LOCALAPPDATA%\Netease\CloudMusic\Cache\', NULL, 1, 0);

-- Media Player Classic (Gabest) and MPC-HC. Source: winapp2.ini entries for
-- Media Player Classic (Recent File List keys).
INSERT INTO apps VALUES (77, 'Media Player Classic',
  'Media Player Classic 和 MPC-HC 最近播放过的文件列表',
  'HKCU\Software\MPC-HC', NULL, 'mpc-hc.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\MPC-HC\MPC-HC\Recent File List', NULL, 77);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Gabest\Media Player Classic\Recent File List', NULL, 77);

-- RealPlayer. Source: BleachBit cleaners/realplayer.xml (recent clips).
INSERT INTO apps VALUES (78, 'RealPlayer',
  'RealPlayer 最近播放过的媒体列表',
  'HKCU\Software\RealNetworks\RealPlayer', NULL, 'realplay.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\RealNetworks\RealPlayer\6.0\Preferences\MostRecentClips1', NULL, 78);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\RealNetworks\RealPlayer\6.0\Preferences\MostRecentClips2', NULL, 78);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\RealNetworks\RealPlayer\6.0\Preferences\MostRecentClips3', NULL, 78);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\RealNetworks\RealPlayer\6.0\Preferences\MostRecentClips4', NULL, 78);

-- QuickTime Player (32-bit: seen through the program's own registry view).
-- Source: winapp2.ini entry "QuickTime Player" (Entries/Q.ini).
INSERT INTO apps VALUES (79, 'QuickTime Player',
  'QuickTime 最近打开和收藏的影片列表',
  'HKLM\Software\Apple Computer, Inc.\QuickTime', NULL, 'QuickTimePlayer.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_LOCAL_MACHINE', 'Software\Apple Computer, Inc.\QuickTime\Favorite Movies', NULL, 79);
INSERT INTO appregs VALUES ('HKEY_LOCAL_MACHINE', 'Software\Apple Computer, Inc.\QuickTime\Recent Movies', NULL, 79);

-- ------------------------------------------------ downloads and transfer

-- qBittorrent: logs and cache (winapp2.ini entry "qBittorrent", Entries/Q.ini)
-- and BT_backup, the list of torrents with their resume data (qBittorrent
-- wiki "Frequently Asked Questions": data in %LOCALAPPDATA%\qBittorrent).
INSERT INTO apps VALUES (93, 'qBittorrent',
  'qBittorrent 的下载任务列表、缓存和日志',
  '%LOCALAPPDATA%\qBittorrent', NULL, 'qbittorrent.exe', NULL);
INSERT INTO apppaths VALUES (93, '%LOCALAPPDATA%\qBittorrent\BT_backup\', NULL, 1, 0);
INSERT INTO apppaths VALUES (93, '%LOCALAPPDATA%\qBittorrent\cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (93, '%LOCALAPPDATA%\qBittorrent\logs\', NULL, 1, 0);

-- uTorrent: resume.dat lists every torrent with its save path; the .torrent
-- copies beside it. Source: uTorrent help/FAQ on the settings folder
-- (%APPDATA%\uTorrent: resume.dat, settings.dat, *.torrent).
INSERT INTO apps VALUES (94, 'µTorrent',
  'µTorrent 的下载任务列表和种子文件',
  '%APPDATA%\uTorrent', NULL, 'uTorrent.exe', NULL);
INSERT INTO apppaths VALUES (94, '%APPDATA%\uTorrent\', 'resume.dat*;*.torrent', 0, 0);

-- FileZilla: recently used servers and the transfer queue (SQLite, with its
-- journal). Sources: BleachBit cleaners/filezilla.xml; FileZilla wiki
-- "Queue" (queue.sqlite3).
INSERT INTO apps VALUES (95, 'FileZilla',
  'FileZilla 最近连接过的服务器和传输队列',
  '%APPDATA%\FileZilla', NULL, 'filezilla.exe', NULL);
INSERT INTO apppaths VALUES (95, '%APPDATA%\FileZilla\', 'recentservers.xml;queue.sqlite3*', 0, 0);

-- TeraCopy: the list of the last copy, its transfer log, the copy history
-- (one database per job in the History folder) and the last target folder.
-- Source: winapp2.ini entry "TeraCopy" (HKCU\Software\Code Sector\TeraCopy
-- LastTargetFolder; %APPDATA%\TeraCopy FileList.dat, Transfer.log, History);
-- the program TeraCopy.exe (C:\Program Files\TeraCopy) as public scripts call it.
INSERT INTO apps VALUES (128, 'TeraCopy',
  'TeraCopy 复制过的文件列表、传输日志、复制历史和上次的目标文件夹',
  'HKCU\Software\Code Sector\TeraCopy', NULL, 'TeraCopy.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Code Sector\TeraCopy', 'LastTargetFolder', 128);
INSERT INTO apppaths VALUES (128, '%APPDATA%\TeraCopy\', 'FileList.dat', 0, 0);
INSERT INTO apppaths VALUES (128, '%APPDATA%\TeraCopy\', 'Transfer.log', 0, 0);
INSERT INTO apppaths VALUES (128, '%APPDATA%\TeraCopy\History\', NULL, 0, 0);

-- Free Download Manager 3 and 5: the list of deleted downloads. Source:
-- winapp2.ini entry "Free Download Manager" (HKCU\Software\
-- FreeDownloadManager.ORG\Free Download Manager; %APPDATA%\Free Download
-- Manager downloads.del.sav). The list of current downloads of these
-- versions is not documented there and is left out.
INSERT INTO apps VALUES (129, 'Free Download Manager',
  'Free Download Manager 已删除的下载任务列表',
  'HKCU\Software\FreeDownloadManager.ORG\Free Download Manager', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (129, '%APPDATA%\Free Download Manager\', 'downloads.del.sav', 0, 0);

-- Free Download Manager 6: one SQLite database, db.sqlite, holds the
-- download list (and the settings) in %LOCALAPPDATA%\Softdeluxe\Free
-- Download Manager. Source: public FDM 6 set-up scripts that replace that
-- file to preset FDM; the program fdm.exe in Softdeluxe\Free Download Manager.
INSERT INTO apps VALUES (130, 'Free Download Manager 6',
  'Free Download Manager 6 的下载任务列表数据库（其中也有它的设置）',
  '%LOCALAPPDATA%\Softdeluxe\Free Download Manager', NULL, 'fdm.exe', NULL);
INSERT INTO apppaths VALUES (130, '%LOCALAPPDATA%\Softdeluxe\Free Download Manager\', 'db.sqlite*', 0, 0);

-- ------------------------------------------------------ remote access

-- WinSCP. Source: RegRipper winscp.pl (History, CDCache, last panel paths,
-- SshHostKeys).
INSERT INTO apps VALUES (96, 'WinSCP',
  'WinSCP 连接过的主机、远程和本地路径历史',
  'HKCU\Software\Martin Prikryl\WinSCP 2', NULL, 'WinSCP.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Martin Prikryl\WinSCP 2\Configuration\History', NULL, 96);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Martin Prikryl\WinSCP 2\Configuration\CDCache', NULL, 96);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Martin Prikryl\WinSCP 2\Configuration\Interface\Commander\LocalPanel', 'LastPath', 96);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Martin Prikryl\WinSCP 2\Configuration\Interface\Commander\RemotePanel', 'LastPath', 96);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Martin Prikryl\WinSCP 2\SshHostKeys', NULL, 96);

-- TeamViewer: the partner IDs last connected to (per version, and in the
-- main key from version 15 on), the connection list and logs, the chat file
-- cache and the session caches. Sources: BleachBit cleaners/teamviewer.xml
-- (Version4 Last_Machine_Connections, Connections.txt, logs, MRU); winapp2.ini
-- entry "TeamViewer" (Version5-9 Last_Machine_Connections, %APPDATA%\
-- TeamViewer *.log and *.mdmp, %LOCALAPPDATA%\TeamViewer\Database\
-- tvchatfilecache.db, %LOCALAPPDATA%\TeamViewer\*Cache); a public privacy
-- cleaner's Windows registry targets (Last_Machine_Connections and
-- Last_Machine_Connections_UD in Software\TeamViewer, Version10-15).
INSERT INTO apps VALUES (98, 'TeamViewer',
  'TeamViewer 连接过的伙伴 ID、连接记录、聊天文件缓存和日志',
  'HKCU\Software\TeamViewer', NULL, 'TeamViewer.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version4', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version5', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version5.1', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version6', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version7', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version8', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version9', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version10', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version11', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version12', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version13', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version14', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer\Version15', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer', 'Last_Machine_Connections', 98);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\TeamViewer', 'Last_Machine_Connections_UD', 98);
INSERT INTO apppaths VALUES (98, '%APPDATA%\TeamViewer\', 'Connections.txt;*.log;*.mdmp', 0, 0);
INSERT INTO apppaths VALUES (98, '%LOCALAPPDATA%\TeamViewer\Database\', 'tvchatfilecache.db*', 0, 0);
INSERT INTO apppaths VALUES (98, '%LOCALAPPDATA%\TeamViewer\*Cache\', NULL, 1, 0);
INSERT INTO apppaths VALUES (98, '%APPDATA%\TeamViewer\MRU\', NULL, 1, 0);

-- AnyDesk trace and connection files. Source: AnyDesk help "Trace Files"
-- (%APPDATA%\AnyDesk\ad.trace) and connection_trace.txt beside it.
INSERT INTO apps VALUES (99, 'AnyDesk',
  'AnyDesk 的连接记录和运行日志',
  '%APPDATA%\AnyDesk', NULL, 'AnyDesk.exe', NULL);
INSERT INTO apppaths VALUES (99, '%APPDATA%\AnyDesk\', 'ad.trace*;connection_trace.txt', 0, 0);

-- PuTTY: the host keys of every server connected to and the jump list of
-- recent sessions. Source: PuTTY manual, appendix "PuTTY's files and
-- registry entries" (SshHostKeys; Jumplist).
INSERT INTO apps VALUES (100, 'PuTTY',
  'PuTTY 连接过的主机（主机密钥）和最近会话',
  'HKCU\Software\SimonTatham\PuTTY', NULL, 'putty.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\SimonTatham\PuTTY\SshHostKeys', NULL, 100);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\SimonTatham\PuTTY\Jumplist', NULL, 100);

-- ------------------------------------------- editors, viewers and others

-- Notepad++: session and recent-file list (config.xml, copied) and the
-- backups of unsaved files. Source: Notepad++ user manual "Preferences" /
-- "Backup" (npp-user-manual.org).
INSERT INTO apps VALUES (56, 'Notepad++',
  'Notepad++ 的会话记录、最近打开的文件列表和未保存文件的备份',
  'HKLM\SOFTWARE\Notepad++', NULL, 'notepad++.exe', NULL);
INSERT INTO apppaths VALUES (56, '%APPDATA%\Notepad++\', 'session.xml', 0, 1);
INSERT INTO apppaths VALUES (56, '%APPDATA%\Notepad++\', 'config.xml', 0, 1);
INSERT INTO apppaths VALUES (56, '%APPDATA%\Notepad++\backup\', NULL, 1, 0);

-- Sublime Text session (recent files, unsaved buffers). Source: Sublime
-- Text documentation "Data directory" (Local\Session.sublime_session).
INSERT INTO apps VALUES (102, 'Sublime Text',
  'Sublime Text 的会话记录、最近打开的文件和未保存的内容',
  '%APPDATA%\Sublime Text 3', NULL, 'sublime_text.exe', NULL);
INSERT INTO apppaths VALUES (102, '%APPDATA%\Sublime Text 3\Local\', 'Session.sublime_session', 0, 0);
INSERT INTO apppaths VALUES (102, '%APPDATA%\Sublime Text 3\Local\', 'Auto Save Session.sublime_session', 0, 0);
INSERT INTO apppaths VALUES (102, '%APPDATA%\Sublime Text\Local\', 'Session.sublime_session', 0, 0);
INSERT INTO apppaths VALUES (102, '%APPDATA%\Sublime Text\Local\', 'Auto Save Session.sublime_session', 0, 0);

-- Visual Studio Code: the backups of unsaved editors and the workspace
-- state databases (state.vscdb, SQLite, with their backups). Source: VS Code
-- docs "Hot exit" and the user data folder (%APPDATA%\Code).
INSERT INTO apps VALUES (103, 'Visual Studio Code',
  'VS Code 最近打开的文件夹和文件、工作区状态和未保存内容的备份',
  '%APPDATA%\Code', NULL, 'Code.exe', NULL);
INSERT INTO apppaths VALUES (103, '%APPDATA%\Code\Backups\', NULL, 1, 0);
INSERT INTO apppaths VALUES (103, '%APPDATA%\Code\User\workspaceStorage\', NULL, 1, 0);
INSERT INTO apppaths VALUES (103, '%APPDATA%\Code\User\globalStorage\', 'state.vscdb*;storage.json', 0, 0);

-- IrfanView keeps its recent files in i_view32.ini / i_view64.ini. Source:
-- IrfanView FAQ on the INI file location (%APPDATA%\IrfanView).
INSERT INTO apps VALUES (104, 'IrfanView',
  'IrfanView 最近打开过的图片和文件夹',
  '%APPDATA%\IrfanView', NULL, 'i_view32.exe', NULL);
INSERT INTO apppaths VALUES (104, '%APPDATA%\IrfanView\', 'i_view32.ini', 0, 1);
INSERT INTO apppaths VALUES (104, '%APPDATA%\IrfanView\', 'i_view64.ini', 0, 1);

-- XnView (classic): xnview.ini holds the recent folders; the thumbnail
-- database below it and in its cache folder; an installed copy keeps its
-- recent folders and files in the registry as well. Sources: XnView help on
-- settings storage (%APPDATA%\XnView); winapp2.ini entry "XnView"
-- (XnView.db, cache\*.db, HKCU\Software\XnView\Start DirName_0-9 and
-- FileName_0-9).
INSERT INTO apps VALUES (105, 'XnView',
  'XnView 最近浏览过的文件夹和图片以及缩略图数据库',
  '%APPDATA%\XnView', NULL, 'xnview.exe', NULL);
INSERT INTO apppaths VALUES (105, '%APPDATA%\XnView\', 'xnview.ini', 0, 1);
INSERT INTO apppaths VALUES (105, '%APPDATA%\XnView\', 'XnView.db*', 0, 0);
INSERT INTO apppaths VALUES (105, '%APPDATA%\XnView\cache\', '*.db*', 0, 0);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'DirName_0', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'DirName_1', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'DirName_2', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'DirName_3', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'DirName_4', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'DirName_5', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'DirName_6', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'DirName_7', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'DirName_8', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'DirName_9', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'FileName_0', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'FileName_1', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'FileName_2', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'FileName_3', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'FileName_4', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'FileName_5', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'FileName_6', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'FileName_7', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'FileName_8', 105);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\Start', 'FileName_9', 105);

-- XnView MP: its thumbnail and catalogue databases, and the recent files,
-- browsed folders and last save folder in its registry key. Source: winapp2.ini
-- entry "XnView" (%APPDATA%\XnViewMP *.db; HKCU\Software\XnView\XnViewMP
-- Start History, RecentFiles, PathBrowser, customPath; Strip list_folder;
-- Viewer saveFolder). Its executable's name is not given there: none here.
INSERT INTO apps VALUES (127, 'XnView MP',
  'XnView MP 最近打开过的图片、浏览过的文件夹、上次保存的位置以及缩略图和分类数据库',
  'HKCU\Software\XnView\XnViewMP', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (127, '%APPDATA%\XnViewMP\', '*.db*', 0, 0);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\XnViewMP\Start', 'History', 127);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\XnViewMP\Start', 'RecentFiles', 127);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\XnViewMP\Start', 'PathBrowser', 127);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\XnViewMP\Start', 'customPath', 127);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\XnViewMP\Strip', 'list_folder', 127);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\XnView\XnViewMP\Viewer', 'saveFolder', 127);

-- Paint.NET. Source: winapp2.ini entry "Paint.NET" (Entries/P.ini).
INSERT INTO apps VALUES (106, 'Paint.NET',
  'Paint.NET 最后使用的文件夹和缩略图缓存',
  'HKCU\Software\Paint.NET', NULL, 'PaintDotNet.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Paint.NET', 'LastFileDialogDirectory', 106);
INSERT INTO apppaths VALUES (106, '%LOCALAPPDATA%\Paint.NET\', NULL, 1, 0);

-- Google Earth: cached imagery and search history. Source: BleachBit
-- cleaners/google_earth.xml.
INSERT INTO apps VALUES (109, 'Google Earth',
  'Google Earth 浏览过的地图影像缓存',
  '%APPDATA%\Google\GoogleEarth', NULL, 'googleearth.exe', NULL);
INSERT INTO apppaths VALUES (109, '%APPDATA%\Google\GoogleEarth\', 'dbCache.dat*', 0, 0);

-- Microsoft Silverlight isolated storage. Source: BleachBit cleaners/silverlight.xml.
INSERT INTO apps VALUES (110, 'Microsoft Silverlight',
  'Silverlight 程序在本机保存的数据（独立存储）',
  '%USERPROFILE%\AppData\LocalLow\Microsoft\Silverlight', NULL, NULL, NULL);
INSERT INTO apppaths VALUES (110, '%USERPROFILE%\AppData\LocalLow\Microsoft\Silverlight\is\', NULL, 1, 0);
INSERT INTO apppaths VALUES (110, '%LOCALAPPDATA%\Microsoft\Silverlight\is\', NULL, 1, 0);

-- Qt programs' shared file dialog history. Source: winapp2.ini entry
-- "Qt Framework" (Entries/Q.ini).
INSERT INTO apps VALUES (112, 'Qt 程序的文件对话框',
  '使用 Qt 的程序在文件对话框中最近访问过的文件夹',
  'HKCU\Software\QtProject', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\QtProject\OrganizationDefaults\FileDialog', 'history', 112);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\QtProject\OrganizationDefaults\FileDialog', 'lastVisited', 112);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Trolltech\OrganizationDefaults', NULL, 112);

-- QTTabBar (Explorer tabs). Source: winapp2.ini entry "QTTabBar" (Entries/Q.ini).
INSERT INTO apps VALUES (113, 'QTTabBar',
  '资源管理器标签插件 QTTabBar 最近打开的文件、关闭的标签和上次的标签',
  'HKCU\Software\Quizo\QTTabBar', NULL, NULL, NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Quizo\QTTabBar', 'TabsOnLastClosedWindow', 113);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Quizo\QTTabBar\RecentFiles', NULL, 113);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Quizo\QTTabBar\RecentlyClosed', NULL, 113);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Quizo\QTTabBar\Cache', NULL, 113);

-- PDFCreator. Source: winapp2.ini entry "PDFCreator" (Entries/P.ini).
INSERT INTO apps VALUES (115, 'PDFCreator',
  'PDFCreator 的转换历史和最后保存的文件夹',
  '%LOCALAPPDATA%\PDFForge\PDFCreator', NULL, 'PDFCreator.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\PDFCreator\Program', 'LastsaveDirectory', 115);
INSERT INTO apppaths VALUES (115, '%LOCALAPPDATA%\PDFForge\PDFCreator\', 'PDFCreatorHistory.json', 0, 0);

-- Paint Shop Pro (Jasc). Source: winapp2.ini entry "Paint Shop Pro" (Entries/P.ini).
INSERT INTO apps VALUES (116, 'Paint Shop Pro',
  'Paint Shop Pro 最近打开过的图片列表',
  'HKCU\Software\Jasc', NULL, 'psp.exe', NULL);
INSERT INTO appregs VALUES ('HKEY_CURRENT_USER', 'Software\Jasc\Paint Shop Pro 6\Recent File List', NULL, 116);


COMMIT;
