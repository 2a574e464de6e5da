#include "app/render/hud.h"

#include <GL/gl.h>

#include <algorithm>
#include <string>

#include "app/logic/app_state.h"
#include "app/logic/controls.h"
#include "app/logic/scene_files.h"
#include "app/logic/stepping.h"
#include "app/text/outline_font.h"
#include "app/render/body_colours.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/scenes.h"

using namespace prallwerk;

namespace {

constexpr GLfloat panelColour[] = {0.5f, 0.5f, 0.5f, 0.5f};
constexpr GLfloat borderColour[] = {1.0f, 1.0f, 0.0f, 0.8f};

// The texts lie far behind the panels, inside the 45-degree view: the control
// lines near its top edge, the body table near its bottom edge. Depth testing
// is off, so they are drawn over the panels all the same.
constexpr float controlDepth = -60.0f;
constexpr float tableDepth = -70.0f;
constexpr float leftColumnStart = -32.0f;
constexpr float tableLabelY = -21.0f;
constexpr float firstRowY = -22.0f;  // body j's row at firstRowY - j
constexpr float rowSpacing = 1.0f;

constexpr float textGap = 1.0f;  // em between two texts on one line
// x where the notes right of the table start: the rules beside its labels,
// the bodies beyond its rows beside its last row.
constexpr float tableNotesStart = 5.0f;

constexpr bool leftAligned = true;
constexpr bool rightAligned = false;

// One column of the body table: its label and the vector shown under it, both
// right-aligned.
struct TableColumn {
    const char* label;
    float labelEnd;          // x where the label ends
    float valuesEnd;         // x where each body's values end
    Vec3 RigidBody::*value;  // the vector shown, as (x, y, z)
};

// The German labels are the HUD's own: "Beschleunigung" (acceleration) heads
// the velocities and "W-Beschleunigung" the spins.
const TableColumn tableColumns[] = {
    {"Position:", -29.0f, -27.0f, &RigidBody::position},
    {"Beschleunigung:", -17.0f, -17.0f, &RigidBody::velocity},
    {"W-Beschleunigung:", -6.5f, -7.0f, &RigidBody::spin},
    {"Winkel:", 1.0f, 3.0f, &RigidBody::angles},
};

void panelVertex(float x, float y) { glVertex3f(x, y, panelDepth); }

void drawPanels() {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4fv(panelColour);
    glBegin(GL_TRIANGLE_STRIP);
    panelVertex(lowerPanelLeft, lowerPanelTop);
    panelVertex(lowerPanelLeft, lowerPanelBottom);
    panelVertex(lowerPanelRight, lowerPanelTop);
    panelVertex(lowerPanelRight, lowerPanelBottom);
    glEnd();
    glBegin(GL_TRIANGLE_STRIP);
    panelVertex(topPanelLeft, topPanelBottom);
    panelVertex(topPanelLeft, topPanelTop);
    panelVertex(topPanelRight, topPanelBottom);
    panelVertex(topPanelRight, topPanelTop);
    glEnd();

    glColor4fv(borderColour);
    glBegin(GL_LINE_STRIP);  // top and right edge of the lower panel
    panelVertex(lowerPanelLeft, lowerPanelTop);
    panelVertex(lowerPanelRight, lowerPanelTop);
    panelVertex(lowerPanelRight, lowerPanelBottom);
    glEnd();
    glBegin(GL_LINES);  // lower edge of the top panel
    panelVertex(topPanelLeft, topPanelBottom);
    panelVertex(topPanelRight, topPanelBottom);
    glEnd();
}

float widthOf(const std::string& text) { return textWidth(text.data(), text.size()); }

void drawControlTexts() {
    glColor3ub(255, 255, 255);
    printText(leftAligned, leftColumnStart, 23.0f, controlDepth, "Simulation Start / Pause (Space)");
    printText(leftAligned, leftColumnStart, 22.0f, controlDepth, "Reset (R)");
    const char* const wireframeLine = wireframe ? "Drahtgitter-Modus (F3): an" : "Drahtgitter-Modus (F3): aus";
    // A file scene's title ends a letter's width before the wireframe line
    // on its right begins.
    const float sceneLineEnd = rightColumnEnd - widthOf(wireframeLine) - textGap;
    const std::string sceneLine = cutToWidth(sceneChoiceLine(), sceneLineEnd - leftColumnStart);
    printText(leftAligned, leftColumnStart, 21.0f, controlDepth, "%s", sceneLine.c_str());
    printText(rightAligned, rightColumnEnd, 23.0f, controlDepth, "Zeit in Sekunden: %.2f",
              static_cast<double>(simulatedTime));
    printText(rightAligned, rightColumnEnd, 21.0f, controlDepth, "%s", wireframeLine);
    // Between the time and the wireframe line, only after stepping by hand.
    const std::string impact = impactLine(impactNote, *world);
    if (!impact.empty()) printText(rightAligned, rightColumnEnd, 22.0f, controlDepth, "%s", impact.c_str());
}

void drawBodyTable() {
    for (const TableColumn& column : tableColumns) {
        printText(rightAligned, column.labelEnd, tableLabelY, tableDepth, "%s", column.label);
    }
    // Beside the labels: the rules say how to read the spins (the angles'
    // rates under the classic rules, the angular velocity under the
    // physical ones).
    printText(leftAligned, tableNotesStart, tableLabelY, tableDepth, "%s", rulesLine(world->rules()));
    const int count = std::min(world->bodyCount, tableRowCount);
    for (int j = 0; j < count; ++j) {
        const RigidBody& body = *world->bodies[j];
        const float y = firstRowY - rowSpacing * static_cast<float>(j);
        glColor4fv(bodyColours[j]);
        for (const TableColumn& column : tableColumns) {
            const Vec3& v = body.*column.value;
            printText(rightAligned, column.valuesEnd, y, tableDepth, "(%.2f, %.2f, %.2f)", v.x, v.y, v.z);
        }
    }
    // Beside the last row: a row below it would sit on the view's lower
    // edge.
    const std::string more = moreBodiesLine(world->bodyCount);
    if (!more.empty()) {
        glColor3ub(255, 255, 255);
        printText(leftAligned, tableNotesStart, firstRowY - rowSpacing * static_cast<float>(tableRowCount - 1),
                  tableDepth, "%s", more.c_str());
    }
}

}  // namespace

const char* rulesLine(Rules rules) {
    return rules == Rules::physical ? "Regeln: physikalisch" : "Regeln: klassisch";
}

std::string cutToWidth(const std::string& text, float width) {
    if (widthOf(text) <= width) return text;
    const std::string ellipsis = "\x85";
    std::string cut = text;
    while (!cut.empty() && widthOf(cut + ellipsis) > width) cut.pop_back();
    return cut + ellipsis;
}

void drawHud() {
    glDisable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    if (wireframe) glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    drawPanels();
    glDisable(GL_BLEND);

    // A software renderer fills in what it was given only when flushed:
    // handing over the scene and the panels, and then the control lines,
    // lets its other threads fill them while this one transforms the
    // letters that follow. Nothing drawn changes.
    glFlush();
    // Each letter is a closed solid in one flat colour, so the faces turned
    // towards the camera cover every pixel that the whole solid covers:
    // culling the others leaves the picture as it is and spares the renderer
    // about half of the triangles.
    glEnable(GL_CULL_FACE);
    drawControlTexts();
    glFlush();
    drawBodyTable();
    glDisable(GL_CULL_FACE);

    glEnable(GL_DEPTH_TEST);
    if (wireframe) glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
}
