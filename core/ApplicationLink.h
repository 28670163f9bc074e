#pragma once
// What the services and the layers under the shell need of the running application. The game application
// registers itself with the data manager; code below the shell reaches it only through this.

#include "d3d9/D3D9.h"

class ApplicationLink
{
public:
    virtual const D3DPRESENT_PARAMETERS& GetPresentParameters() const = 0;
    virtual D3DFORMAT GetBackBufferFormat() const = 0;
    // Widgets laid out for 1024 x 768 report the scale they last applied, for the text transform.
    virtual void SetGuiScale(float scaleX, float scaleY) = 0;

protected:
    ~ApplicationLink() = default;
};
