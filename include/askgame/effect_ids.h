// The identifiers a host asks for effects and panels by.
#pragma once

#include "platform/wintypes.h"

// {BCA5E763-AEF1-4865-85ED-7D40A4678EE6}: the challenge game.
inline constexpr GUID CLSID_ChallengeGame = {
    0xBCA5E763, 0xAEF1, 0x4865, {0x85, 0xED, 0x7D, 0x40, 0xA4, 0x67, 0x8E, 0xE6}};
// {F1B25A55-B3A6-4EEE-8144-B80C0C05C4BB}: the free-mode game.
inline constexpr GUID CLSID_FreeModeGame = {
    0xF1B25A55, 0xB3A6, 0x4EEE, {0x81, 0x44, 0xB8, 0x0C, 0x0C, 0x05, 0xC4, 0xBB}};

// Panel mode numbers for QvCreateEffectUI.
inline constexpr int kFreeModePanel = 1;
inline constexpr int kChallengePanel = 2;
