"""The editor as a user sees it: palette, board, markers, clearing and the
task-text placeholder, on the real program under Xvfb with xdotool."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import DesktopTest, Image, wait_until  # noqa: E402
import save_dialog  # noqa: E402


class Board(DesktopTest):
    def data_image(self, number):
        return Image.load(self.path("DATA", f"{number}.jpg"))

    def square(self, shot, col, row):
        s = self.square_size
        return shot.region(col * s, row * s, s, s)

    def assert_square_shows(self, shot, col, row, number):
        difference = self.square(shot, col, row).max_difference(self.data_image(number))
        self.assertLessEqual(difference, 2, f"square {col},{row} should show image {number}")

    def test_pieces_land_in_their_light_and_dark_variants(self):
        program = self.start()
        program.place(69, (1, 1), (1, 2))      # white king on a8 (light) and a7 (dark)
        program.place(80, (3, 3), (3, 4))      # black pawn
        program.place(88, (5, 5), (5, 6))      # first marker
        program.place(89, (7, 7), (7, 8))      # second marker
        shot = program.client_pixels("editor-pieces")
        self.assert_square_shows(shot, 1, 1, 1)
        self.assert_square_shows(shot, 1, 2, 2)
        self.assert_square_shows(shot, 3, 3, 23)
        self.assert_square_shows(shot, 3, 4, 24)
        self.assert_square_shows(shot, 5, 5, 29)
        self.assert_square_shows(shot, 5, 6, 30)
        self.assert_square_shows(shot, 7, 7, 31)
        self.assert_square_shows(shot, 7, 8, 32)
        program.place(81, (1, 1), (1, 2))      # the empty square clears
        shot = program.client_pixels("editor-cleared-squares")
        self.assert_square_shows(shot, 1, 1, 25)
        self.assert_square_shows(shot, 1, 2, 26)

    def test_right_and_double_clicks_place_too(self):
        program = self.start()
        program.click(*program.palette_point(71))
        program.click(*program.square_point(2, 1), button=3)
        x, y = program.square_point(4, 1)
        program.display.run("xdotool", "mousemove", "--window", program.window, str(x), str(y),
                            "click", "--repeat", "2", "1")
        shot = program.client_pixels("editor-other-clicks")
        self.assert_square_shows(shot, 2, 1, 6)
        self.assert_square_shows(shot, 4, 1, 6)

    def test_a_square_clicked_before_any_choice_stays(self):
        program = self.start()
        program.click(*program.square_point(1, 1))
        program.click(*program.square_point(2, 1))
        shot = program.client_pixels("editor-no-choice")
        self.assert_square_shows(shot, 1, 1, 25)
        self.assert_square_shows(shot, 2, 1, 26)

    def test_clear_board_restores_the_fresh_board(self):
        program = self.start()
        fresh = program.client_pixels("editor-fresh")
        program.place(70, (1, 1), (2, 2), (8, 8))
        program.click(*field_point(program))
        program.type_text("Mate in 2")
        program.press(86)
        program.click(self.square_size, self.square_size // 2 + 5)  # the top strip: any later event
        cleared = program.client_pixels("editor-after-clear")
        s = self.square_size
        board = (s // 2, s // 2, 9 * s, 9 * s)
        self.assertLessEqual(cleared.region(*board).max_difference(fresh.region(*board)), 2)
        # The typed text is gone and the placeholder is back, drawn as at start.
        field = field_box(s)
        self.assertLessEqual(cleared.region(*field).max_difference(fresh.region(*field)), 2)


def field_point(program):
    s = program.s
    return s // 2 + 20, 10 * s - s // 2 + 5 + 12


def field_box(s):
    """The inside of the task-text field, without its frame."""
    return s // 2 + 3, 10 * s - s // 2 + 8, 9 * s - 6, 19


def field_ink(shot, s):
    """Dark pixels in the task-text field: text shows as hundreds of them."""
    field = shot.region(*field_box(s))
    return sum(1 for i in range(0, len(field.data), 3) if field.data[i] < 100)


class Placeholder(DesktopTest):
    def test_comes_and_goes_with_the_focus(self):
        program = self.start()
        shot = program.client_pixels("placeholder-start")
        self.assertGreater(field_ink(shot, program.s), 60)
        program.click(*field_point(program))
        shot = program.client_pixels("placeholder-focused")
        self.assertLess(field_ink(shot, program.s), 40, "clicking in empties the field")
        program.key("Tab")  # the focus leaves the field
        shot = program.client_pixels("placeholder-back")
        self.assertGreater(field_ink(shot, program.s), 60, "left empty, the placeholder returns")

    def test_typed_text_is_never_touched(self):
        program = self.start()
        program.click(*field_point(program))
        program.type_text("Mate")
        program.key("Tab")
        typed = field_ink(program.client_pixels("placeholder-typed"), program.s)
        self.assertGreater(typed, 20)
        self.assertLess(typed, 200, "the short text, not the placeholder")
        program.click(*program.square_point(3, 3))  # more events, the field unfocused
        self.assertEqual(save_dialog.field_text(program, *field_point(program)), "Mate")

    def test_leaving_the_program_counts_as_unfocused(self):
        program = self.start()
        program.click(*field_point(program))
        self.assertLess(field_ink(program.client_pixels("placeholder-in"), program.s), 40)
        # No window manager: the keyboard follows the pointer, so with the
        # pointer off the window no window of the program has the focus.
        self.display.run("xdotool", "mousemove", "2", "2")
        away = lambda: field_ink(program.client_pixels("placeholder-away"), program.s)  # noqa: E731
        self.assertTrue(wait_until(lambda: away() > 60), "the placeholder returns while the program has no focus")

    def test_the_placeholder_typed_into_the_focused_field_is_cleared(self):
        program = self.start()
        program.click(*field_point(program))
        almost = "Введите здесь текст задани"
        program.type_text(almost)
        self.assertEqual(save_dialog.field_text(program, *field_point(program)), almost)
        program.key("End")
        program.type_text("я")
        ink = lambda: field_ink(program.client_pixels("placeholder-typed-in"), program.s)  # noqa: E731
        self.assertTrue(wait_until(lambda: ink() < 40), "the typed placeholder is cleared")
        self.assertEqual(save_dialog.field_text(program, *field_point(program), timeout=1.5), None,
                         "an empty field has nothing to select")


if __name__ == "__main__":
    unittest.main()
