// Installing the redirection minifilter from the INF beside the executable.
#include "redirect/redirection_filter.h"

#include "common/program_folder.h"
#include "redirect/filter_seam.h"

void InstallRedirectionFilter(void)
{
    WCHAR folder[MAX_PATH], inf[MAX_PATH + 16], command[MAX_PATH + 40];
    if (!GetProgramFolder(folder))
        return;
    wsprintfW(inf, L"%s\\sidestep.inf", folder);
    wsprintfW(command, L"DefaultInstall 132 %s", inf);
    FilterSeamInstallInf(nullptr, nullptr, command, 0);
}
