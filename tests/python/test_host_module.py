"""The Python host module (examples/host/svfplayer.py) on the release build."""

import svfplayer


def test_verdicts_codes_and_messages(build_dir, examples, tmp_path):
    svf = examples / "svf"
    rows = [  # file, error file, verdict, returned, result code, a message
        ("idcode.svf", None, "PASS", 0, 0, "STATUS\tPASS"),
        ("idcode_fail.svf", None, "FAIL", 1, 1, "STATUS\tFAIL"),
        ("idcode_fail.svf", tmp_path / "run.err", "FAIL", 1, 100, "ERRORS\t1"),
        ("syntax_error.svf", None, "ERROR", 2, 10, "Error"),
    ]
    for name, error_file, verdict, returned, code, message in rows:
        outcome = svfplayer.play(str(svf / name), error_file=error_file and str(error_file),
                                 library_dir=str(build_dir))
        assert (outcome.verdict, outcome.returned, outcome.result_code) == \
            (verdict, returned, code), name
        assert any(message in text for text in outcome.messages), outcome.messages
    assert "SVF_LINE 8" in (tmp_path / "run.err").read_text()


def test_board_file_and_its_errors(build_dir, examples):
    chain = str(examples / "svf" / "chain_idcodes.svf")
    board = str(examples / "boards" / "three-devices.toml")
    assert svfplayer.play(chain, board=board, library_dir=str(build_dir)).verdict == "PASS"
    # The next run is back on the built-in board.
    assert svfplayer.play(chain, library_dir=str(build_dir)).verdict == "FAIL"
    try:
        svfplayer.play(chain, board="no-such-board.toml", library_dir=str(build_dir))
    except OSError as error:
        assert "no-such-board.toml" in str(error)
    else:
        raise AssertionError("a missing board file must raise")
