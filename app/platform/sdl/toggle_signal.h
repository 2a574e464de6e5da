#pragma once

// toggleScreenMode from outside: another program asks for the other screen
// mode with SIGUSR1. The handler only raises a flag; the SDL layer's event
// pump turns it into the message.

// Installs the handler (SA_RESTART). False when the signal cannot be caught.
bool listenForToggleSignal();

// Whether a toggle came in and was not yet taken.
bool toggleSignalPending();

// Takes a pending toggle: true once per signal received (two signals before
// one look count as one).
bool takeToggleSignal();
