// The keyboard events of a window, turned into strokes for four hooks: key down, key
// repeat, key up, and the character typed when key down did not take the key. A change
// of Ctrl, Shift, Alt or Super reaches key down or key up as a stroke that carries only
// that modifier.
//
// Thread: main thread only.
#pragma once

#include "platform/events/event_layer.h"
#include "ui/key_stroke.h"

namespace tw {

class LKeyHandler {
  public:
    virtual ~LKeyHandler() = default;
    // Each returns true when it took the key.
    virtual bool OnKeyDown(const KeyStroke& stroke) {
        (void)stroke;
        return false;
    }
    virtual bool OnKeyRepeat(const KeyStroke& stroke) {
        (void)stroke;
        return false;
    }
    virtual bool OnKeyUp(const KeyStroke& stroke) {
        (void)stroke;
        return false;
    }
    // The first byte of the character's UTF-8 form.
    virtual bool OnCharTyped(char byte) {
        (void)byte;
        return false;
    }
};

// Gives a keyboard event to the hooks. kNoErr when a hook took it, and for the Help key
// (so that it goes no further); kEventNotHandledErr otherwise, so that menu accelerators
// still work.
OSStatus DispatchKeyEvent(LKeyHandler& handler, const Event& event);

// The stroke of the last key press.
KeyStroke LastKeyStroke();

}  // namespace tw
