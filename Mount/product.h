// Fixed facts about the product that several parts of the program share.
#pragma once

// The vendor's web server: home page, crash reports and updates.
#define VG_WEB_HOST      "www.veilguard.example"
#define VG_HOMEPAGE_URL  "https://" VG_WEB_HOST "/"
#define VG_REPORT_PREFIX "https://" VG_WEB_HOST "/"
