#pragma once
// The editor an effect may own. The effect classes reach it only through AudioEffect::editor
// and only when that is not null; the slot order below is part of the binary contract with
// editors built elsewhere. The crossfeed has no editor.

#include "aeffect.h"
#include "vst_records.h"

class AudioEffect;

// Every operation runs on the host's main thread ([main thread], audio_effect.h), reached
// through the request named.
class AEffEditor {
public:
    // Destroyed with its effect (effClose).
    virtual ~AEffEditor() = default;
    // Not called by the effect classes.
    virtual AudioEffect* getEffect() { return nullptr; }
    // effEditGetRect: points *rect (an ERect**) at the editor's size; true when it did.
    virtual bool getRect(void* /*rect*/) { return false; }
    // effEditOpen: opens the editor in the host's window ptr; true when it did.
    virtual bool open(void* /*ptr*/) { return false; }
    // effEditClose: closes the editor.
    virtual void close() {}
    // Not called by the effect classes.
    virtual bool isOpen() { return false; }
    // effEditIdle: the editor's idle work.
    virtual void idle() {}
    // effEditKeyDown: a key pressed; true when the editor used it.
    virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
    // effEditKeyUp: a key released; true when the editor used it.
    virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
    // Not called by the effect classes.
    virtual bool onWheel(float /*distance*/) { return false; }
    // effSetEditKnobMode: how the editor's knobs follow the mouse.
    virtual bool setKnobMode(VstInt32 /*mode*/) { return false; }

protected:
    AEffEditor() = default;  // only concrete editors are made
};
