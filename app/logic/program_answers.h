#pragma once

#include "app/seam/program_questions.h"

// The program's answers to its platform's questions, from the control state,
// the current scene and the World.
class ProgramAnswers final : public ProgramQuestions {
public:
    bool readsKey(int virtualKey) const override;
    ControlStatus controlStatus() const override;
    std::string currentSceneText() const override;
    std::string bodiesText() const override;
};
