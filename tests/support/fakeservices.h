#pragma once

#include "services.h"

#include <QString>

#include <vector>

// Records the platform calls a test counts, in order, instead of touching X11 or audio; the
// program's directory is a fixed one.
class FakeServices final : public PlatformServices
{
public:
    enum class Kind { TopMost, Flash, Sound, PrepareSound };
    struct Call
    {
        Kind kind;
        HWND hWnd = nullptr;
        bool flag = false;  // makeTop / bInvert
        QString path;       // sound path
        unsigned flags = 0; // sound flags
    };

    void SetTopMost(HWND hWnd, bool makeTop) override
    {
        calls.push_back({Kind::TopMost, hWnd, makeTop, {}, 0});
    }
    void FlashWindow(HWND hWnd, bool bInvert) override
    {
        calls.push_back({Kind::Flash, hWnd, bInvert, {}, 0});
    }
    void sndPlaySoundA(const QString &path, unsigned flags) override
    {
        calls.push_back({Kind::Sound, nullptr, false, path, flags});
    }

    void PrepareSound() override { calls.push_back({Kind::PrepareSound, nullptr, false, {}, 0}); }
    void KeepOffTaskbar(HWND) override {}
    QString programDirectory() override { return QStringLiteral("/opt/アラーム"); }

    int count(Kind kind) const
    {
        int n = 0;
        for (const Call &c : calls)
            n += c.kind == kind;
        return n;
    }

    std::vector<Call> calls;
};
