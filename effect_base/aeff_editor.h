#pragma once
// The editor an effect may own. The effect classes reach it only through AudioEffect::editor
// and only when that is not null; the slot order below is part of the binary contract with
// editors built elsewhere. The crossfeed has no editor.

#include "binding/aeffect.h"
#include "effect_base/vst_records.h"

class AudioEffect;

class AEffEditor {
public:
    virtual ~AEffEditor() = default;
    virtual AudioEffect* getEffect() { return nullptr; }  // not used by the effect classes
    virtual bool getRect(void* /*rect*/) { return false; }
    virtual bool open(void* /*ptr*/) { return false; }
    virtual void close() {}
    virtual bool isOpen() { return false; }  // not used by the effect classes
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }  // not used
    virtual bool setKnobMode(VstInt32 /*mode*/) { return false; }

protected:
    AEffEditor() = default;  // only concrete editors are made
};
