/* Stands in for SDL but exports only the first name of the SDL list. */
int SDL_Init(unsigned flags);
int SDL_Init(unsigned flags) { return (int)flags; }
