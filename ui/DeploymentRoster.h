#pragma once
// The eleven classes the deployment screen sells, in the order of their buttons: files, prices, the badge
// that shows the price, the distance the preview camera keeps, the description, and where each box sits.

#include <string>

class DeploymentRoster
{
public:
    static constexpr int SIZE = 11;
    static constexpr int BOX_WIDTH = 96;
    static constexpr int BOX_HEIGHT = 116;

    struct Point {
        float x;
        float y;
    };

    static const char* ClassFile(int index);
    static int Cost(int index);
    static const char* CostBadge(int index);
    // The preview camera's distance; 100 for an index outside the roster.
    static float PreviewDistance(int index);
    // Code page 1252 text with LF line breaks.
    static const char* Description(int index);
    // The class file's name without its extension, followed by "Icon.tga".
    static std::string IconTexture(int index);
    // Top-left corner of the roster box: three cheap boxes on the first line, five on the second, three dear
    // ones on the third.
    static Point BoxTopLeft(int index);
};
