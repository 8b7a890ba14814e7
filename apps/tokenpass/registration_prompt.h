// The offer to register a new password with the web service: two Yes/No boxes, then the registration program,
// waited for, and the success form in every case.
#pragma once

#include "forms.h"

// The texts differ with what started the assignment.
enum class PromptVariant { kEnterInConfirmBox, kNextButton, kChangeForm };

// The two boxes: true when the user chose to register in either.
bool UserWantsRegistration(PromptVariant variant);
// The boxes, then (on Yes) the registration program, inside the event of `caller`, which is still shown; closes it
// before the success form.
void RegistrationPrompt(Form& caller, PromptVariant variant);
// Hides `caller`, starts the registration program and waits for it to end (the escrow form's Yes as well).
void RunRegistration(Form& caller);
