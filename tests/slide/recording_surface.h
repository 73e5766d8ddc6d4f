// A surface that keeps a log of the calls made on it (and otherwise behaves
// as any surface does), so tests can see exactly what the renderer asked for.
#pragma once

#include <string>
#include <vector>

#include "slide/device_context.h"

namespace qorvan::testing {

class RecordingSurface : public slide::DeviceContext {
public:
    RecordingSurface(int w, int h)
        : DeviceContext({ 0, 0, w, h })
    {
    }

    std::vector<std::string> log;
    std::vector<std::vector<slide::Point>> polygons;

    // Log lines of one operation, e.g. all "LineTo ..." entries.
    std::vector<std::string> calls(const std::string& op) const
    {
        std::vector<std::string> out;
        for (const auto& l : log)
            if (l.rfind(op + " ", 0) == 0 || l == op) out.push_back(l);
        return out;
    }

    int SetMapMode(int m) override { return note("SetMapMode", m), DeviceContext::SetMapMode(m); }
    slide::Size SetWindowExt(int x, int y) override
    {
        return note("SetWindowExt", x, y), DeviceContext::SetWindowExt(x, y);
    }
    slide::Size SetViewportExt(int x, int y) override
    {
        return note("SetViewportExt", x, y), DeviceContext::SetViewportExt(x, y);
    }
    slide::Point SetViewportOrg(int x, int y) override
    {
        return note("SetViewportOrg", x, y), DeviceContext::SetViewportOrg(x, y);
    }
    slide::Handle CreatePen(int s, int w, slide::ColorRef c) override
    {
        return note("CreatePen", w, static_cast<int>(c)), DeviceContext::CreatePen(s, w, c);
    }
    slide::Handle CreateSolidBrush(slide::ColorRef c) override
    {
        return note("CreateSolidBrush", static_cast<int>(c)), DeviceContext::CreateSolidBrush(c);
    }
    slide::Point MoveTo(int x, int y) override { return note("MoveTo", x, y), DeviceContext::MoveTo(x, y); }
    bool LineTo(int x, int y) override { return note("LineTo", x, y), DeviceContext::LineTo(x, y); }
    slide::ColorRef SetPixel(int x, int y, slide::ColorRef c) override
    {
        return note("SetPixel", x, y, static_cast<int>(c)), DeviceContext::SetPixel(x, y, c);
    }
    int SetPolyFillMode(int m) override
    {
        return note("SetPolyFillMode", m), DeviceContext::SetPolyFillMode(m);
    }
    bool Polygon(const slide::Point* p, int n) override
    {
        note("Polygon", n);
        polygons.emplace_back(p, p + n);
        return DeviceContext::Polygon(p, n);
    }

protected:
    void deviceLine(slide::Point, slide::Point, slide::ColorRef) override { }
    void devicePixel(slide::Point, slide::ColorRef) override { }
    void deviceFill(const std::vector<slide::Point>&, int, slide::ColorRef) override { }

private:
    template <typename... A> void note(const char* op, A... args)
    {
        std::string s = op;
        ((s += " " + std::to_string(args)), ...);
        log.push_back(s);
    }
};

} // namespace qorvan::testing
