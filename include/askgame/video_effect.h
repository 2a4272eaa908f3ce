// The interface through which a host drives an effect. The host calls the operations by slot,
// so their order is part of the contract.
#pragma once

#include "askgame/audience.h"
#include "platform/wintypes.h"

class IVideoEffect {
public:
    virtual const GUID* GetEffectId() = 0;                                // slot 0
    virtual int Reserved1() = 0;                                          // slot 1
    virtual BOOL Reserved2(int value, int* result) = 0;                   // slot 2
    virtual GUID GetMediaSubtype() = 0;                                   // slot 3
    virtual BOOL Init(int frameWidth, int frameHeight, int reserved) = 0; // slot 4
    virtual void Reserved5() = 0;                                         // slot 5
    virtual BOOL Reserved6(int value) = 0;                                // slot 6
    virtual int Reserved7(int /*value*/) { return 0; }                    // slot 7
    virtual bool Reserved8() { return false; }                            // slot 8
    virtual int Reserved9() { return 5; }                                 // slot 9
    // Draws on one frame in place: frameWidth × |frameHeight| 32-bit pixels, packed rows
    // (stride frameWidth × 4), bottom-up for a positive frameHeight and top-down for a negative
    // one. Nothing outside those bytes is read or written, whatever size Init was given.
    // Returns 0 and touches nothing when bytesPerPixel is not 4.
    virtual BOOL ProcessFrame(BYTE* pixels, int reserved1, int bytesPerPixel, int reserved2,
                              int frameWidth, int frameHeight, int reserved3) = 0; // slot 10
    virtual void Reserved11(int, int, int) = 0;                                    // slot 11
    virtual int Reserved12() = 0;                                                  // slot 12
    virtual int Reserved13(int value) = 0;                                         // slot 13
    virtual void Reserved14(int value) = 0;                                        // slot 14
    virtual void SetAudienceSource(IAudienceSource* source) = 0;                   // slot 15

protected:
    // Effects are destroyed through QvDestroyEffect, never through this interface.
    ~IVideoEffect() = default;
};
