#pragma once
// Wine lacks a few Windows behaviours (access lists on files, a readable event log);
// tests of those check under Wine only what Wine can show.

namespace testsupport {

#ifdef _WIN32
bool underWine();
#else
inline bool underWine()
{
    return false;
}
#endif

} // namespace testsupport
