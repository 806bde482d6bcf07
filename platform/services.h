#pragma once

#include "module1api.h"

#include <QCoreApplication>

// Every platform call the windows make, behind one interface so that window tests can count
// and order them without an X server or an audio device.
class PlatformServices
{
public:
    virtual ~PlatformServices() = default;
    virtual void SetTopMost(HWND hWnd, bool makeTop) = 0;
    virtual void FlashWindow(HWND hWnd, bool bInvert) = 0;
    virtual void sndPlaySoundA(const QString &path, unsigned flags) = 0;
    virtual void PrepareSound() = 0;
    virtual void KeepOffTaskbar(HWND hWnd) = 0;
    // The directory that holds the running executable, without a trailing separator (unless it
    // is the root directory).
    virtual QString programDirectory() = 0;
};

// The real thing: forwards to the functions of module1api.h and to Qt.
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
    void KeepOffTaskbar(HWND hWnd) override { ::KeepOffTaskbar(hWnd); }
    QString programDirectory() override { return QCoreApplication::applicationDirPath(); }
};
