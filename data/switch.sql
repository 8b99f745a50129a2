-- The switch database "fest.sys": the registry state of the mode that is not
-- active, kept at the root of the virtual disk. The build makes the empty
-- template from this file; the program fills it during every switch.
--
-- regvalue: one row per listed registry value ever saved. keyroot is the
--   predefined root key as its unsigned 32-bit handle value (2147483649 for
--   HKEY_CURRENT_USER, 2147483650 HKEY_LOCAL_MACHINE, 2147483651 HKEY_USERS);
--   pubvalue/privalue hold the raw value data of normal and privacy mode.
-- regbackup: at most one row; the saved hives of the public and the private
--   staging key.
CREATE TABLE regvalue (
  keyroot   INTEGER,
  keypath   TEXT,
  valuename TEXT,
  pubvalue  BLOB,
  privalue  BLOB
);
CREATE TABLE regbackup (
  pubvalue BLOB,
  privalue BLOB
);
