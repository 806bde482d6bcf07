#pragma once

#include "module1api.h"

// The platform calls the windows make, behind one interface so that window tests can
// count and order them without an X server or an audio device.
class PlatformServices
{
public:
    virtual ~PlatformServices() = default;
    virtual void SetTopMost(HWND hWnd, bool makeTop) = 0;
    virtual void FlashWindow(HWND hWnd, bool bInvert) = 0;
    virtual void sndPlaySoundA(const QString &path, unsigned flags) = 0;
    virtual void PrepareSound() = 0;
};

// The real thing: forwards to the functions of module1api.h.
class SystemServices final : public PlatformServices
{
public:
    void SetTopMost(HWND hWnd, bool makeTop) override { ::SetTopMost(hWnd, makeTop); }
    void FlashWindow(HWND hWnd, bool bInvert) override { ::FlashWindow(hWnd, bInvert); }
    void sndPlaySoundA(const QString &path, unsigned flags) override
    {
        ::sndPlaySoundA(path, flags);
    }
    void PrepareSound() override { ::PrepareSound(); }
};
