// The connection to the redirection minifilter is not part of this build
// yet: privacy mode runs without file redirection until it is.
#include "redirect/redirection_filter.h"

bool StartRedirectionFilter(void)
{
    OutputDebugStringW(L"Sidestep: the filter connection is not built in; no file is redirected.");
    return false;
}

HRESULT StopRedirectionFilter(void)
{
    OutputDebugStringW(L"Sidestep: the filter connection is not built in; nothing to stop.");
    return S_OK;
}
