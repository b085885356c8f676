#pragma once

// The band drawn where there is no display server at all (a render farm, a container, a CI runner):
// a small Qt platform of our own whose OpenGL contexts come from EGL without any window system
// (Mesa's surfaceless platform, or the first EGL device). Nothing else of Qt's platform is offered:
// no windows, no input, only fonts, images and off-screen OpenGL.
namespace HeadlessGL {
// The platform's name, as QT_QPA_PLATFORM takes it.
inline constexpr const char* PLATFORM = "tavorin-egl";

// Chooses the platform for drawing off-screen, before the QGuiApplication is made: a platform the
// user named in QT_QPA_PLATFORM stays; with a display server (DISPLAY) Qt's "offscreen" platform,
// which takes its OpenGL from it; with none, ours.
void choosePlatform();
} // namespace HeadlessGL
