// Viewport read-back (see viewport_readback.h).
#include <GL/glew.h>  // before any other GL header

#include "app/viewport_readback.h"

void readViewportPixels(int x, int y, int width, int height, uint8_t* rgb, int rowLength)
{
    GLint previousBuffer = 0, previousAlignment = 0, previousRowLength = 0, previousSkipPixels = 0,
          previousSkipRows = 0;
    glGetIntegerv(GL_READ_BUFFER, &previousBuffer);
    glGetIntegerv(GL_PACK_ALIGNMENT, &previousAlignment);
    glGetIntegerv(GL_PACK_ROW_LENGTH, &previousRowLength);
    glGetIntegerv(GL_PACK_SKIP_PIXELS, &previousSkipPixels);
    glGetIntegerv(GL_PACK_SKIP_ROWS, &previousSkipRows);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);  // RGB rows of any width, no padding
    glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glReadPixels(x, y, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    glPixelStorei(GL_PACK_SKIP_ROWS, previousSkipRows);
    glPixelStorei(GL_PACK_SKIP_PIXELS, previousSkipPixels);
    glPixelStorei(GL_PACK_ROW_LENGTH, previousRowLength);
    glPixelStorei(GL_PACK_ALIGNMENT, previousAlignment);
    glReadBuffer(GLenum(previousBuffer));
}
